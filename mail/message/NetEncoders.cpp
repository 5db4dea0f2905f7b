// Base64, UU/XX and quoted-printable encoders; see NetEncoders.h.
#include "mail/message/NetEncoders.h"

#include "base/NetException.h"
#include "base/Text.h"

#include <vector>

namespace {

const char* const HexDigits = "0123456789ABCDEF";

// Reads at least this much of an attachment per call of the source stream.
constexpr size_t ReadBlockSize = 64 * 1024;

} // namespace

size_t TNetEncoder3to4::EncodeBlock(const uint8_t* in, size_t n, char* out) const {
    const char* table = CodingTable.data();
    char* o = out;
    size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        const uint32_t v = (uint32_t(in[i]) << 16) | (uint32_t(in[i + 1]) << 8) | in[i + 2];
        o[0] = table[v >> 18];
        o[1] = table[(v >> 12) & 63];
        o[2] = table[(v >> 6) & 63];
        o[3] = table[v & 63];
        o += 4;
    }
    if (n - i == 2) {
        const uint32_t v = (uint32_t(in[i]) << 16) | (uint32_t(in[i + 1]) << 8);
        o[0] = table[v >> 18];
        o[1] = table[(v >> 12) & 63];
        o[2] = table[(v >> 6) & 63];
        o[3] = FillChar;
        o += 4;
    } else if (n - i == 1) {
        const uint32_t v = uint32_t(in[i]) << 16;
        o[0] = table[v >> 18];
        o[1] = table[(v >> 12) & 63];
        o[2] = FillChar;
        o[3] = FillChar;
        o += 4;
    }
    return static_cast<size_t>(o - out);
}

std::string TNetEncoder3to4::Encode(TStream& source, int32_t count) const {
    if (count != AllBytes && count % 3 != 0)
        throw ENetException("Uneven size in Encode.");
    std::vector<uint8_t> data;
    if (count == AllBytes) {
        uint8_t buf[8192];
        size_t got;
        while ((got = source.Read(buf, sizeof buf)) > 0)
            data.insert(data.end(), buf, buf + got);
    } else if (count > 0) {
        data.resize(static_cast<size_t>(count));
        data.resize(source.Read(data.data(), data.size()));
    }
    std::string out((data.size() + 2) / 3 * 4, '\0');
    EncodeBlock(data.data(), data.size(), out.data());
    return out;
}

TNetEncoderMIME::TNetEncoderMIME()
    : TNetEncoder3to4("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", '=') {}

void TNetMessageEncoderMIME::Encode(TStream& source, TStream& dest) {
    constexpr size_t Group = 57;
    const TNetEncoderMIME coder;
    source.SetPosition(0);
    // The block holds whole 57-byte groups so a group never straddles reads.
    std::vector<uint8_t> block(ReadBlockSize / Group * Group);
    char line[76 + 2];
    size_t got;
    while ((got = source.Read(block.data(), block.size())) > 0) {
        for (size_t at = 0; at < got; at += Group) {
            const size_t n = std::min(Group, got - at);
            size_t len = coder.EncodeBlock(block.data() + at, n, line);
            line[len++] = '\r';
            line[len++] = '\n';
            dest.Write(line, len);
        }
        if (got < block.size())
            break;
    }
}

void TNetMessageEncoderUUBase::Encode(TStream& source, TStream& dest) {
    constexpr size_t Group = 45;
    source.SetPosition(0);
    dest.WriteString("begin " + IntToStr(PermissionCode) + " " + FileName + "\r\n");
    uint8_t group[Group];
    char line[1 + 60 + 2];
    size_t got;
    while ((got = source.Read(group, Group)) > 0) {
        line[0] = Coder->CodingTable[got];
        size_t len = 1 + Coder->EncodeBlock(group, got, line + 1);
        line[len++] = '\r';
        line[len++] = '\n';
        dest.Write(line, len);
        if (got < Group)
            break;
    }
    dest.WriteString(std::string(1, Coder->CodingTable[0]) + "\r\nend\r\n");
}

// A short last group is encoded as if padded with zero bytes, which is what
// a fill character equal to the table's zero character gives.
TNetMessageEncoderUUE::TNetMessageEncoderUUE()
    : TNetMessageEncoderUUBase(std::make_unique<TNetEncoder3to4>(
          "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_", '`')) {}

TNetMessageEncoderXXE::TNetMessageEncoderXXE()
    : TNetMessageEncoderUUBase(std::make_unique<TNetEncoder3to4>(
          "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", '+')) {}

const TNetMessageEncoderInfo* TNetMessageEncoderList::Find(const std::string& name) {
    static const TNetMessageEncoderInfo table[] = {
        {"MIME",
         []() -> std::unique_ptr<TNetMessageEncoder> {
             return std::make_unique<TNetMessageEncoderMIME>();
         }},
        {"UUE",
         []() -> std::unique_ptr<TNetMessageEncoder> {
             return std::make_unique<TNetMessageEncoderUUE>();
         }},
        {"XXE",
         []() -> std::unique_ptr<TNetMessageEncoder> {
             return std::make_unique<TNetMessageEncoderXXE>();
         }},
    };
    for (const TNetMessageEncoderInfo& info : table)
        if (SameText(info.Name, name))
            return &info;
    return nullptr;
}

std::string TNetEncoderQuotedPrintable::Encode(const std::string& text) const {
    constexpr size_t SoftLimit = 71;
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 4);
    // Characters on the current output line. A CR or LF ends the line and
    // is not counted: a soft break after either would split CR LF or leave
    // a line holding only "=".
    size_t col = 0;
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r' || c == '\n') {
            out += static_cast<char>(c);
            col = 0;
            continue;
        }
        const bool literal = ((c == ' ' || c == '\t') &&
                              !(i + 1 < n && (text[i + 1] == '\r' || text[i + 1] == '\n'))) ||
                             (c >= 33 && c <= 126 && c != '=');
        if (literal) {
            out += static_cast<char>(c);
            ++col;
        } else {
            out += '=';
            out += HexDigits[c >> 4];
            out += HexDigits[c & 15];
            col += 3;
        }
        // Also right before the line end: the line then ends in "=" and an
        // empty line follows, which decodes to the same text.
        if (col > SoftLimit) {
            out += "=\r\n";
            col = 0;
        }
    }
    out += "\r\n";
    if (out.size() > 2)
        out.resize(out.size() - 2);
    return out;
}
