// Header text encoding: the choice of header charset from the user's locale,
// RFC 2047 encoded words ("Q" and "B") for words that are not plain ASCII,
// and the Shift_JIS to ISO-2022-JP conversion (RFC 1468) for Japanese
// locales. Folding the result is left to TNetHeaderList.
#pragma once

#include "platform/Locale.h"

#include <cstddef>
#include <string>

enum class TTransfer { bit7, bit8, iso2022jp };

// How header text is prepared: transfer, encoding letter ('B', 'Q', or '8'
// for no encoding) and charset name.
struct TNetHeaderCoding {
    TTransfer Transfer = TTransfer::bit8;
    char Letter = 'B';
    std::string CharSet;
};

// Characters that force a display name into an encoded word or quotes.
extern const char* const AddressSpecials;

// The coding for the user's default locale. The 8-bit text of this program
// is in the locale's codeset, so a UTF-8 locale gives "UTF-8" ("Q" for
// languages that are mostly ASCII, "B" for Chinese, Japanese and Korean);
// other codesets give the traditional charset of the language.
TNetHeaderCoding ChooseHeaderCharset();
TNetHeaderCoding ChooseHeaderCharset(const TUserLocale& locale);

// The longest word that may stay plain: folded onto a line of its own after
// one blank, it keeps within the 998 octets of a header line.
extern const size_t LongestPlainWord;

// Encodes the words of text that hold control or 8-bit bytes (or one of
// extraSpecials), or are longer than LongestPlainWord, as encoded words of
// at most 75 characters; adjacent such words share one run, plain words stay
// as they are. A long run continues
// on a new line that starts with a tab.
std::string EncodeHeaderText(const std::string& text, const std::string& extraSpecials, char letter,
                             TTransfer transfer, const std::string& charset);
inline std::string EncodeHeaderText(const std::string& text, const std::string& extraSpecials,
                                    const TNetHeaderCoding& coding) {
    return EncodeHeaderText(text, extraSpecials, coding.Letter, coding.Transfer, coding.CharSet);
}

// Shift_JIS text to ISO-2022-JP: JIS X 0208 between ESC "$B" and ESC "(B",
// half-width katakana widened (with their voiced and semi-voiced marks
// combined); bytes without a mapping are dropped.
std::string ConvertToJis(const std::string& text);
