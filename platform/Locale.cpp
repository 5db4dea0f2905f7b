// User locale from the environment; see Locale.h.
#include "platform/Locale.h"

#include "base/Text.h"

#include <cstdlib>
#include <langinfo.h>

TUserLocale ParseLocaleName(const std::string& name) {
    TUserLocale loc;
    std::string rest = name;
    size_t at = rest.find('@');
    if (at != std::string::npos)
        rest.erase(at);
    size_t dot = rest.find('.');
    if (dot != std::string::npos) {
        loc.Codeset = UpperCase(rest.substr(dot + 1));
        rest.erase(dot);
    }
    size_t us = rest.find('_');
    if (us != std::string::npos) {
        loc.Territory = UpperCase(rest.substr(us + 1));
        rest.erase(us);
    }
    if (rest != "C" && rest != "POSIX")
        loc.Language = LowerCase(rest);
    // Common spellings of the same codesets.
    if (loc.Codeset == "UTF8")
        loc.Codeset = "UTF-8";
    else if (loc.Codeset == "SJIS" || loc.Codeset == "SHIFT-JIS")
        loc.Codeset = "SHIFT_JIS";
    return loc;
}

TUserLocale GetUserLocale() {
    const char* names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    for (const char* var : names) {
        const char* v = std::getenv(var);
        if (v && *v) {
            TUserLocale loc = ParseLocaleName(v);
            if (loc.Codeset.empty()) {
                const char* cs = nl_langinfo(CODESET);
                loc.Codeset = cs ? UpperCase(cs) : std::string();
                if (loc.Codeset == "ANSI_X3.4-1968")
                    loc.Codeset = "ISO-8859-1";
            }
            return loc;
        }
    }
    return ParseLocaleName("C.UTF-8");
}
