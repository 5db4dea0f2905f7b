// Language choice and catalogue loading; see Translations.h.
#include "platform/Translations.h"

#include "base/Translate.h"
#include "platform/Program.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

// "de_DE.UTF-8@euro" -> "de_DE": the codeset and modifier name no language.
std::string LanguageOf(const std::string& name) {
    return name.substr(0, name.find_first_of(".@"));
}

bool IsCLocale(const std::string& locale) {
    const std::string name = LanguageOf(locale);
    return name == "C" || name == "POSIX";
}

std::string TranslateWithQt(const char* context, const char* text) {
    return QCoreApplication::translate(context, text).toStdString();
}

// Held for the program's life: QCoreApplication only borrows them.
void Keep(std::unique_ptr<QTranslator> translator) {
    QTranslator* kept = translator.release();
    kept->setParent(QCoreApplication::instance());
    QCoreApplication::installTranslator(kept);
}

} // namespace

std::vector<std::string> UiLanguages(const std::function<const char*(const char*)>& getEnv) {
    auto value = [&getEnv](const char* name) {
        const char* v = getEnv(name);
        return std::string(v ? v : "");
    };
    std::string locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (locale = value(name); !locale.empty())
            break;
    if (locale.empty() || IsCLocale(locale))
        return {};
    std::string list = value("LANGUAGE");
    if (list.empty())
        list = locale;
    std::vector<std::string> languages;
    auto add = [&languages](const std::string& language) {
        if (!language.empty() &&
            std::find(languages.begin(), languages.end(), language) == languages.end())
            languages.push_back(language);
    };
    for (size_t start = 0; start <= list.size();) {
        size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string language = LanguageOf(list.substr(start, end - start));
        add(language);
        add(language.substr(0, language.find('_')));
        start = end + 1;
    }
    return languages;
}

std::string InstallTranslations(const std::string& folder) {
    SetTranslateHook(&TranslateWithQt);
    const QString dir =
        QString::fromStdString(folder.empty() ? ProgramDir() + "translations" : folder);
    for (const std::string& language : UiLanguages(&std::getenv)) {
        // English is what the texts are written in.
        if (language == "en" || language.rfind("en_", 0) == 0)
            return "";
        auto own = std::make_unique<QTranslator>();
        if (!own->load(QString::fromStdString("quillet_" + language), dir))
            continue;
        Keep(std::move(own));
        auto qt = std::make_unique<QTranslator>();
        if (qt->load(QString::fromStdString("qtbase_" + language),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            Keep(std::move(qt));
        return language;
    }
    return "";
}
