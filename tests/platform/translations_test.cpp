// The user's language from the environment, as gettext reads it: LANGUAGE
// over LC_ALL over LC_MESSAGES over LANG, and nothing under the C locale.
#include "platform/Translations.h"

#include <gtest/gtest.h>
#include <map>

TEST(Translations, TheEnvironmentChoosesTheLanguages) {
    using TEnv = std::map<std::string, std::string>;
    struct TCase {
        TEnv Env;
        std::vector<std::string> Languages;
        const char* Why;
    } cases[] = {
        {{}, {}, "nothing set: the C locale"},
        {{{"LANG", "de_DE.UTF-8"}}, {"de_DE", "de"}, "codeset dropped, then the language alone"},
        {{{"LANG", "de_AT.UTF-8@euro"}}, {"de_AT", "de"}, "modifier dropped"},
        {{{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", "fr_FR"}},
         {"fr_FR", "fr"},
         "LC_MESSAGES over LANG"},
        {{{"LC_MESSAGES", "fr_FR"}, {"LC_ALL", "en_GB.UTF-8"}}, {"en_GB", "en"}, "LC_ALL first"},
        {{{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "de:en"}}, {"de", "en"}, "LANGUAGE lists them"},
        {{{"LANG", "de_DE"}, {"LANGUAGE", "pt_BR::de"}},
         {"pt_BR", "pt", "de"},
         "empty entries skipped"},
        {{{"LANG", "C.UTF-8"}, {"LANGUAGE", "de"}}, {}, "LANGUAGE ignored under C"},
        {{{"LC_ALL", "POSIX"}, {"LANG", "de_DE"}}, {}, "POSIX is C"},
        {{{"LC_ALL", ""}, {"LANG", "de_DE"}}, {"de_DE", "de"}, "an empty variable is not set"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        const auto get = [&c](const char* name) -> const char* {
            const auto it = c.Env.find(name);
            return it == c.Env.end() ? nullptr : it->second.c_str();
        };
        EXPECT_EQ(UiLanguages(get), c.Languages);
    }
}
