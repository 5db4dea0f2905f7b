// Header charset choice, RFC 2047 encoded words and ISO-2022-JP; see
// NetHeaderCoder.h. The Shift_JIS to JIS X 0208 step is the standard
// arithmetic mapping of the two code layouts; half-width katakana use a table.
#include "mail/message/NetHeaderCoder.h"

#include <cstdint>

const char* const AddressSpecials = "()[]<>:;.,@\\\"";
const size_t LongestPlainWord = 997;

namespace {

const char* const Base64Table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char* const HexDigits = "0123456789ABCDEF";

bool IsWordBreak(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// True when s[from, to) has the form of an encoded word ("=?a?b?c?="): a
// reader would decode it, so as plain text it must be encoded itself.
bool LooksEncoded(const std::string& s, size_t from, size_t to) {
    if (to - from < 8 || s.compare(from, 2, "=?") != 0 || s.compare(to - 2, 2, "?=") != 0)
        return false;
    const size_t q = s.find('?', from + 2);
    return q > from + 2 && q + 3 < to - 1 && s[q + 2] == '?';
}

// Length of the UTF-8 character at s[i] (1 for a byte that starts none).
size_t Utf8Length(const std::string& s, size_t i, size_t to) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = c >= 0xF0 && c <= 0xF7 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (n == 1 || i + n > to)
        return 1;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
            return 1;
    return n;
}

std::string Base64Of(const std::string& s, size_t from, size_t to) {
    std::string out;
    for (size_t i = from; i < to; i += 3) {
        const size_t n = std::min<size_t>(3, to - i);
        uint32_t v = 0;
        for (size_t k = 0; k < 3; ++k)
            v = (v << 8) | (k < n ? static_cast<unsigned char>(s[i + k]) : 0u);
        out += Base64Table[v >> 18];
        out += Base64Table[(v >> 12) & 63];
        out += n > 1 ? Base64Table[(v >> 6) & 63] : '=';
        out += n > 2 ? Base64Table[v & 63] : '=';
    }
    return out;
}

// Writes one run of header text as encoded words of at most 75 characters.
// In UTF-8 a word holds whole characters only (RFC 2047 section 5), so a
// character is never split between two words; other charsets are split
// wherever the limit falls.
class TEncodedRun {
public:
    TEncodedRun(std::string& out, char letter, const std::string& charset)
        : Out(out), Letter(letter), Prefix("=?" + charset + "?" + letter + "?"),
          Utf8(charset == "UTF-8" || charset == "utf-8") {}

    void Encode(const std::string& s, size_t from, size_t to, const std::string& mustQuote) {
        Out += Prefix;
        Count = Prefix.size() + 2;
        if (Letter == 'Q') {
            for (size_t i = from; i < to;) {
                const size_t n = Utf8 ? Utf8Length(s, i, to) : 1;
                std::string token;
                for (size_t k = i; k < i + n; ++k) {
                    const unsigned char c = static_cast<unsigned char>(s[k]);
                    if (c == ' ')
                        token += '_';
                    else if (IsMustQuote(c, mustQuote))
                        token += std::string{'=', HexDigits[c >> 4], HexDigits[c & 15]};
                    else
                        token += static_cast<char>(c);
                }
                Emit(token);
                i += n;
            }
        } else if (!Utf8) {
            for (size_t i = from; i < to; i += 3)
                Emit(Base64Of(s, i, std::min(i + 3, to)));
        } else {
            // As many whole characters per word as fit in its base64 room.
            const size_t room = (75 - Count) / 4 * 3;
            size_t chunk = from;
            for (size_t i = from; i < to;) {
                const size_t n = Utf8Length(s, i, to);
                if (i + n - chunk > room && i > chunk) {
                    Out += Base64Of(s, chunk, i);
                    NewWord();
                    chunk = i;
                }
                i += n;
            }
            Out += Base64Of(s, chunk, to);
        }
        Out += "?=";
    }

private:
    static bool IsMustQuote(unsigned char c, const std::string& mustQuote) {
        return c < 32 || c >= 127 || mustQuote.find(static_cast<char>(c)) != std::string::npos;
    }
    void NewWord() {
        Out += "?=\r\n\t";
        Out += Prefix;
        Count = Prefix.size() + 2;
    }
    // Starts a new encoded word on a tab-indented line when token would take
    // this one past 75 characters.
    void Emit(const std::string& token) {
        if (Count + token.size() > 75)
            NewWord();
        Out += token;
        Count += token.size();
    }

    std::string& Out;
    const char Letter;
    const std::string Prefix;
    const bool Utf8;
    size_t Count = 0;
};

// Full-width JIS X 0208 codes of the half-width katakana 0xA1-0xDF.
const uint16_t HalfWidthKana[63] = {
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523, 0x2525, 0x2527, 0x2529,
    0x2563, 0x2565, 0x2567, 0x2543, 0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B,
    0x252D, 0x252F, 0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F, 0x2541,
    0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C, 0x254D, 0x254E, 0x254F, 0x2552, 0x2555,
    0x2558, 0x255B, 0x255E, 0x255F, 0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569,
    0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C};

bool IsHaRow(uint16_t code) {
    return code == 0x254F || code == 0x2552 || code == 0x2555 || code == 0x2558 || code == 0x255B;
}

// The voiced form of a full-width katakana, or 0.
uint16_t VoicedKana(uint16_t code) {
    if (code == 0x2526) // U -> VU
        return 0x2574;
    if ((code >= 0x252B && code <= 0x2541 && (code & 1)) || code == 0x2544 || code == 0x2546 ||
        code == 0x2548 || IsHaRow(code))
        return code + 1;
    return 0;
}

} // namespace

TNetHeaderCoding ChooseHeaderCharset() {
    return ChooseHeaderCharset(GetUserLocale());
}

TNetHeaderCoding ChooseHeaderCharset(const TUserLocale& locale) {
    TNetHeaderCoding coding;
    const bool utf8 = locale.Codeset == "UTF-8";
    if (locale.Language == "zh") {
        coding.CharSet = utf8 ? "UTF-8" : locale.Territory == "CN" ? "GB2312" : "Big5";
    } else if (locale.Language == "ja") {
        if (locale.Codeset == "SHIFT_JIS") {
            coding.CharSet = "ISO-2022-JP";
            coding.Transfer = TTransfer::iso2022jp;
        } else {
            coding.CharSet = "UTF-8";
        }
    } else if (locale.Language == "ko") {
        coding.CharSet = utf8 ? "UTF-8" : "EUC-KR";
    } else {
        coding.CharSet = utf8 ? "UTF-8" : "ISO-8859-1";
        coding.Letter = 'Q';
    }
    return coding;
}

std::string EncodeHeaderText(const std::string& text, const std::string& extraSpecials, char letter,
                             TTransfer transfer, const std::string& charset) {
    const std::string s = transfer == TTransfer::iso2022jp ? ConvertToJis(text) : text;
    if (letter == '8')
        return s;
    auto needsEncoding = [&](unsigned char c) {
        return c < 32 || c >= 127 || extraSpecials.find(static_cast<char>(c)) != std::string::npos;
    };
    const std::string mustQuote = extraSpecials + " =?_";
    std::string out;
    TEncodedRun run(out, letter, charset);
    bool open = false;
    size_t runStart = 0;
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        const size_t wsStart = i;
        while (i < n && IsWordBreak(s[i]))
            ++i;
        const size_t wordStart = i;
        bool encode = false;
        for (; i < n && !IsWordBreak(s[i]); ++i)
            if (needsEncoding(static_cast<unsigned char>(s[i])))
                encode = true;
        // Folding cannot break a word: one too long for a line of its own
        // goes as encoded words, which can.
        if (i - wordStart > LongestPlainWord || LooksEncoded(s, wordStart, i))
            encode = true;
        if (wordStart == i) { // blanks at the end
            if (!open)
                out.append(s, wsStart, std::string::npos);
            break;
        }
        if (encode) {
            if (!open) {
                out.append(s, wsStart, wordStart - wsStart);
                runStart = wordStart;
                open = true;
            }
        } else {
            if (open) {
                run.Encode(s, runStart, wsStart, mustQuote);
                open = false;
            }
            out.append(s, wsStart, i - wsStart);
        }
    }
    if (open)
        run.Encode(s, runStart, n, mustQuote);
    return out;
}

std::string ConvertToJis(const std::string& text) {
    static const char* const ToJis = "\x1b$B";
    static const char* const ToAscii = "\x1b(B";
    std::string out;
    bool jis = false;
    auto putJis = [&](uint16_t code) {
        if (!jis) {
            out += ToJis;
            jis = true;
        }
        out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
    };
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (jis) {
                out += ToAscii;
                jis = false;
            }
            out += static_cast<char>(c);
        } else if (c >= 0xA1 && c <= 0xDF) {
            uint16_t code = HalfWidthKana[c - 0xA1];
            const unsigned char next = i + 1 < n ? static_cast<unsigned char>(text[i + 1]) : 0;
            if (next == 0xDE && VoicedKana(code)) {
                code = VoicedKana(code);
                ++i;
            } else if (next == 0xDF && IsHaRow(code)) {
                code += 2; // HA -> PA
                ++i;
            }
            putJis(code);
        } else if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF)) {
            // JIS X 0208 rows 1-94; leads 0xF0-0xFC are user-defined and dropped.
            if (i + 1 >= n)
                break;
            const unsigned char t = static_cast<unsigned char>(text[i + 1]);
            if (t < 0x40 || t > 0xFC || t == 0x7F)
                continue; // not a trail byte: drop the lead alone
            ++i;
            unsigned row = static_cast<unsigned>((c >= 0xE0 ? c - 0x40 : c) - 0x81) * 2 + 0x21;
            unsigned cell;
            if (t >= 0x9F) {
                ++row;
                cell = t - 0x7E;
            } else {
                cell = t - 0x1F - (t >= 0x80 ? 1 : 0);
            }
            putJis(static_cast<uint16_t>(row << 8 | cell));
        } else if (c >= 0xF0 && c <= 0xFC && i + 1 < n) {
            ++i; // a user-defined character has no mapping
        }
    }
    if (jis)
        out += ToAscii;
    return out;
}
