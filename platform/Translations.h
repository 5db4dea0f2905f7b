// The user's language for Quillet's texts. It is read from the environment
// as gettext reads it (LANGUAGE, a list, over the locale of LC_ALL, then
// LC_MESSAGES, then LANG; LANGUAGE is ignored under the "C" locale), but
// without asking the C library, so a German desktop gets German texts even
// where no de_DE locale is installed. The catalogues are
// translations/quillet_<language>.qm beside the program; Qt's own
// qtbase_<language>.qm (the standard buttons) comes from Qt's folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The languages the environment asks for, best first, each as "ll_CC"
// and then "ll" ("de_AT", "de"); empty for the "C" locale. getEnv looks a
// variable up (null: not set).
std::vector<std::string> UiLanguages(const std::function<const char*(const char*)>& getEnv);

// Installs, in the running QCoreApplication, the catalogue of the first
// language the environment asks for that Quillet has (English, the texts
// as written, ends the search), with Qt's own for that language, and the
// hook that translates the libraries' texts. Returns the language loaded,
// or "" for English. folder: where the catalogues are (the default is
// translations/ beside the program).
std::string InstallTranslations(const std::string& folder = std::string());
