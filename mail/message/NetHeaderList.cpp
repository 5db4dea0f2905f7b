// Header line lists and 78-column folding; see NetHeaderList.h.
// Folding keeps existing folds (CR LF + blank), never emits a blank
// continuation line (it would end the header block) and treats an encoded
// word (RFC 2047 "=?charset?X?text?=") as unbreakable.
#include "mail/message/NetHeaderList.h"

#include "base/Text.h"
#include "platform/Locale.h"

namespace {

// RFC 5322 section 2.1.1: octets in a header line, CR LF not counted.
constexpr size_t MaxLineLength = 998;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string TrimBlanksRight(const std::string& s) {
    size_t end = s.size();
    while (end > 0 && IsBlank(s[end - 1]))
        --end;
    return s.substr(0, end);
}

// Index just past the "?=" of a well-formed encoded word starting at pos, or
// 0 when the text at pos is not one.
size_t EncodedWordEnd(const std::string& s, size_t pos) {
    auto isToken = [](char c) {
        return c != '?' && c != ' ' && c != '\t' && c != '\r' && c != '\n';
    };
    size_t i = pos + 2;
    size_t start = i;
    while (i < s.size() && isToken(s[i]))
        ++i;
    if (i == start || i + 2 >= s.size() || s[i] != '?' || s[i + 2] != '?')
        return 0;
    i += 3;
    while (i < s.size() && isToken(s[i]))
        ++i;
    if (i + 1 < s.size() && s[i] == '?' && s[i + 1] == '=')
        return i + 2;
    return 0;
}

// Fields of free text (RFC 5322 "unstructured"), where a comma is no break point.
bool IsUnstructured(const std::string& field) {
    for (const char* name :
         {"Subject", "Comments", "Organization", "Content-Description", "X-Mailer"})
        if (SameText(field, name))
            return true;
    return false;
}

enum class TLeadBytes { None, ShiftJis, Euc, DoubleByte };

TLeadBytes LocaleLeadBytes() {
    const std::string cs = GetUserLocale().Codeset;
    if (cs == "SHIFT_JIS" || cs == "CP932" || cs == "WINDOWS-31J")
        return TLeadBytes::ShiftJis;
    if (cs == "EUC-JP" || cs == "EUCJP")
        return TLeadBytes::Euc;
    if (cs == "GBK" || cs == "GB2312" || cs == "GB18030" || cs == "EUC-CN" || cs == "BIG5" ||
        cs == "BIG5-HKSCS" || cs == "EUC-KR" || cs == "EUC-TW" || cs == "CP936" || cs == "CP949" ||
        cs == "CP950")
        return TLeadBytes::DoubleByte;
    return TLeadBytes::None;
}

} // namespace

bool IsLeadByte(unsigned char c) {
    static const TLeadBytes kind = LocaleLeadBytes();
    switch (kind) {
    case TLeadBytes::ShiftJis:
        return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    case TLeadBytes::Euc:
        return c == 0x8E || (c >= 0xA1 && c <= 0xFE);
    case TLeadBytes::DoubleByte:
        return c >= 0x81 && c <= 0xFE;
    case TLeadBytes::None:
        break;
    }
    return false;
}

std::vector<std::string> FoldHeaderLine(const std::string& line, int width) {
    const size_t n = line.size();
    std::string out;
    size_t pos = 0;       // next byte to scan
    size_t lineStart = 0; // first byte of the output line being collected
    size_t breakPos = 0;  // last break character seen (valid when haveBreak)
    bool haveBreak = false;
    size_t col = 1;
    bool inQuote = false;
    // The last blank inside quotes: a break point only for a line that
    // would pass the 998 octets of RFC 5322 otherwise.
    size_t quotedBlank = 0;
    size_t encodedEnd = 0; // bytes before this index belong to an encoded word
    // In unstructured text a comma is text: a fold after it would add a
    // blank; and a backslash is text, not the start of a quoted pair.
    const bool structured = !IsUnstructured(line.substr(0, line.find(':')));
    while (pos < n) {
        const unsigned char c = static_cast<unsigned char>(line[pos]);
        bool existingBreak = false;
        if (pos < encodedEnd) {
            // Inside an encoded word: no break points, no quotes.
        } else if (IsLeadByte(c) && pos + 1 < n) {
            ++pos;
            ++col;
        } else if (c == '\r') {
            if (!inQuote && pos + 2 < n && line[pos + 1] == '\n' && IsBlank(line[pos + 2])) {
                existingBreak = true;
                pos += 2;
                breakPos = pos;
                haveBreak = true;
            }
        } else if (c == '\\' && inQuote && structured && pos + 1 < n) {
            ++pos; // a quoted pair: the next byte cannot end the quotes
            ++col;
        } else if (c == ' ' || c == '\t' || c == ',') {
            if (!inQuote && (c != ',' || structured)) {
                breakPos = pos;
                haveBreak = true;
            } else if (inQuote && c != ',') {
                quotedBlank = pos;
            }
        } else if (c == '"') {
            inQuote = !inQuote;
        } else if (c == '=' && !inQuote && pos + 1 < n && line[pos + 1] == '?') {
            encodedEnd = EncodedWordEnd(line, pos);
        }
        ++pos;
        ++col;
        // Near the limit (a quoted pair or lead byte may step two octets,
        // a fold may add a blank), quotes or not, the last blank breaks.
        const bool overlong = pos - lineStart + 3 > MaxLineLength &&
                              (quotedBlank > lineStart || (haveBreak && breakPos > lineStart));
        if (overlong && quotedBlank > lineStart && (!haveBreak || breakPos < quotedBlank)) {
            breakPos = quotedBlank;
            haveBreak = true;
        }
        if (overlong || (!inQuote && (existingBreak || (col > static_cast<size_t>(width) &&
                                                        haveBreak && breakPos > lineStart)))) {
            // A fold only inserts CR LF before a blank: a blank break point
            // starts the continuation line, a comma ends its line and a
            // blank is added after it only when none follows.
            const bool blankBreak = !existingBreak && IsBlank(line[breakPos]);
            const bool blankAfter =
                !existingBreak && !blankBreak && breakPos + 1 < n && IsBlank(line[breakPos + 1]);
            out.append(line, lineStart, breakPos - lineStart + (blankBreak ? 0 : 1));
            if (c != '"')
                while (pos < n && (IsBlank(line[pos]) || line[pos] == ',' || line[pos] == '\r' ||
                                   line[pos] == '\n'))
                    ++pos;
            if (!existingBreak && n - pos > 1)
                out += blankBreak || blankAfter ? "\r\n" : "\r\n ";
            lineStart = blankBreak ? breakPos : breakPos + 1;
            col = pos - breakPos - (blankAfter ? 1 : 0);
        }
    }
    out.append(line, lineStart, std::string::npos);

    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t crlf = out.find("\r\n", start);
        std::string piece =
            out.substr(start, crlf == std::string::npos ? std::string::npos : crlf - start);
        // Blanks before a fold are text; those ending the field are not.
        if (crlf == std::string::npos)
            piece = TrimBlanksRight(piece);
        // A blank continuation line would end the header block.
        if (lines.empty() || piece.find_first_not_of(" \t") != std::string::npos)
            lines.push_back(piece);
        if (crlf == std::string::npos)
            break;
        start = crlf + 2;
    }
    return lines;
}

int TNetHeaderList::FindHeader(const std::string& name) const {
    for (size_t i = 0; i < Lines.size(); ++i) {
        size_t colon = Lines[i].find(':');
        if (colon != std::string::npos &&
            SameText(std::string_view(Lines[i]).substr(0, colon), name))
            return static_cast<int>(i);
    }
    return -1;
}

std::string TNetHeaderList::GetHeader(const std::string& name) const {
    int i = FindHeader(name);
    if (i < 0)
        return std::string();
    const std::string& line = Lines[i];
    std::string value = line.substr(line.find(':') + 1);
    for (size_t j = i + 1; j < Lines.size() && !Lines[j].empty() && IsBlank(Lines[j][0]); ++j)
        value = Trim(value) + " " + Trim(Lines[j]);
    return Trim(value);
}

void TNetHeaderList::DeleteContinuations(int index) {
    size_t next = static_cast<size_t>(index) + 1;
    while (next < Lines.size() && !Lines[next].empty() && IsBlank(Lines[next][0]))
        Lines.erase(Lines.begin() + next);
}

void TNetHeaderList::SetHeader(const std::string& name, const std::string& value) {
    int i = FindHeader(name);
    if (value.empty()) {
        if (i >= 0) {
            DeleteContinuations(i);
            Lines.erase(Lines.begin() + i);
        }
        return;
    }
    if (i < 0) {
        Lines.emplace_back();
        i = Count() - 1;
    }
    DeleteContinuations(i);
    std::vector<std::string> folded = FoldHeaderLine(name + ": " + value);
    Lines[i] = folded[0];
    Lines.insert(Lines.begin() + i + 1, folded.begin() + 1, folded.end());
}

void TNetHeaderList::AddStrings(const TNetHeaderList& other) {
    Lines.insert(Lines.end(), other.Lines.begin(), other.Lines.end());
}
