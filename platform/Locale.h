// The user's default locale as the mail writer needs it: language,
// territory and the codeset of the program's 8-bit text.
#pragma once

#include <string>

struct TUserLocale {
    std::string Language;  // "zh", "ja", "ko", "en", ... (lower case; "C" locale gives "")
    std::string Territory; // "CN", "TW", ... (upper case, may be empty)
    std::string Codeset;   // "UTF-8", "SHIFT_JIS", "ISO-8859-1", ... (upper case)
};

// Parses a locale name such as "ja_JP.SJIS" or "zh_CN.UTF-8@euro".
TUserLocale ParseLocaleName(const std::string& name);
// The locale of LC_ALL, then LC_CTYPE, then LANG; its codeset from
// nl_langinfo when the name gives none.
TUserLocale GetUserLocale();
