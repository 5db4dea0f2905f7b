// Parsing of reply lines into code and text; server text cleaned for messages.
#include "net/NetRFCReply.h"

#include "base/Text.h"

#include <algorithm>

namespace {

// Plain decimal digits only: a code like "$1F" or "0x1" is not a number here.
int16_t DecimalCode(const std::string& code) {
    if (code.empty() || code.size() > 4)
        return 0;
    int value = 0;
    for (char c : code) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return static_cast<int16_t>(value);
}

} // namespace

void TNetRFCReply::Clear() {
    NumericCode = 0;
    TextCode.clear();
    Text.clear();
}

void TNetRFCReply::Parse(const std::vector<std::string>& lines) {
    Clear();
    if (lines.empty())
        return;
    std::string code = Trim(lines[0].substr(0, 4));
    if (code.size() == 4 && code[3] == '-')
        code.resize(3);
    TextCode = code;
    if (!TextCode.empty())
        NumericCode = DecimalCode(TextCode);
    for (const std::string& line : lines)
        Text.push_back(line.size() > 4 ? line.substr(4) : std::string());
}

std::string TNetRFCReply::TextWithLineEnds() const {
    std::string s;
    for (const std::string& line : Text)
        s += line + "\r\n";
    return SafeServerText(s);
}

std::string SafeServerText(const std::string& text) {
    std::string out;
    out.reserve(std::min(text.size(), ServerTextLimit));
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\r' && c != '\n') || u == 0x7F)
            continue;
        out += c;
    }
    if (out.size() > ServerTextLimit) {
        size_t end = ServerTextLimit;
        // A UTF-8 continuation byte (10xxxxxx) would be left without its lead.
        while (end > 0 && (static_cast<unsigned char>(out[end]) & 0xC0) == 0x80)
            --end;
        out.resize(end);
    }
    return out;
}
