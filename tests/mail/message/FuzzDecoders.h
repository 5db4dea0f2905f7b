// Small decoders for the fuzz targets and the encoder tests, written from
// the RFCs and sharing nothing with the encoders they check: base64 (RFC 2045 6.8), RFC 2047
// encoded words ("B" and "Q") in unstructured header text, and
// quoted-printable (RFC 2045 6.7).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fuzzdec {

inline int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Padded base64 without line breaks; false when malformed.
inline bool DecodeBase64(std::string_view in, std::string& out) {
    if (in.size() % 4 != 0)
        return false;
    for (size_t i = 0; i < in.size(); i += 4) {
        const bool last = i + 4 == in.size();
        int pad = 0;
        unsigned v = 0;
        for (size_t k = 0; k < 4; ++k) {
            const char c = in[i + k];
            if (c == '=') {
                if (!last || k < 2)
                    return false;
                ++pad;
                v <<= 6;
                continue;
            }
            if (pad > 0)
                return false;
            const int d = Base64Value(c);
            if (d < 0)
                return false;
            v = (v << 6) | static_cast<unsigned>(d);
        }
        out += static_cast<char>(v >> 16);
        if (pad < 2)
            out += static_cast<char>((v >> 8) & 255);
        if (pad < 1)
            out += static_cast<char>(v & 255);
    }
    return true;
}

inline int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The "Q" encoded text of an encoded word; false when malformed.
inline bool DecodeQ(std::string_view in, std::string& out) {
    for (size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '_') {
            out += ' ';
        } else if (c == '=') {
            if (i + 2 >= in.size())
                return false;
            const int h = HexValue(in[i + 1]), l = HexValue(in[i + 2]);
            if (h < 0 || l < 0)
                return false;
            out += static_cast<char>(h * 16 + l);
            i += 2;
        } else if (c > 32 && c < 127 && c != '?') {
            out += c;
        } else {
            return false;
        }
    }
    return true;
}

// Decodes w when it is one whole encoded word "=?charset?X?text?=".
inline bool DecodeEncodedWord(std::string_view w, std::string& out) {
    if (w.size() < 8 || w.substr(0, 2) != "=?" || w.substr(w.size() - 2) != "?=")
        return false;
    const std::string_view inner = w.substr(2, w.size() - 4);
    const size_t q1 = inner.find('?');
    if (q1 == std::string_view::npos || q1 == 0 || q1 + 2 >= inner.size() || inner[q1 + 2] != '?')
        return false;
    const std::string_view text = inner.substr(q1 + 3);
    if (text.find('?') != std::string_view::npos)
        return false;
    std::string decoded;
    const char letter = inner[q1 + 1];
    bool ok = false;
    if (letter == 'B' || letter == 'b')
        ok = DecodeBase64(text, decoded);
    else if (letter == 'Q' || letter == 'q')
        ok = DecodeQ(text, decoded);
    if (!ok)
        return false;
    out += decoded;
    return true;
}

inline bool IsLinearBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Unstructured header text as a reader shows it: encoded words decoded,
// the white space between two adjacent encoded words dropped, everything
// else as it is.
inline std::string DecodeHeaderText(std::string_view v) {
    std::string out;
    std::string pendingBlank;
    bool lastEncoded = false;
    size_t i = 0;
    while (i < v.size()) {
        size_t j = i;
        while (j < v.size() && IsLinearBlank(v[j]))
            ++j;
        pendingBlank.assign(v.substr(i, j - i));
        i = j;
        if (i == v.size()) {
            out += pendingBlank;
            break;
        }
        while (j < v.size() && !IsLinearBlank(v[j]))
            ++j;
        const std::string_view word = v.substr(i, j - i);
        std::string decoded;
        const bool encoded = DecodeEncodedWord(word, decoded);
        if (!(encoded && lastEncoded))
            out += pendingBlank;
        out += encoded ? decoded : std::string(word);
        lastEncoded = encoded;
        i = j;
    }
    return out;
}

// The encoded words of header text that stand on their own (RFC 2047
// section 5: "x=?a?b??=" is plain text), each with its decoded bytes.
struct TEncodedWord {
    std::string_view Word;
    std::string Decoded;
};
inline std::vector<TEncodedWord> EncodedWords(std::string_view v) {
    std::vector<TEncodedWord> words;
    for (size_t i = v.find("=?"); i != std::string_view::npos; i = v.find("=?", i + 2)) {
        if (i > 0 && !IsLinearBlank(v[i - 1]))
            continue;
        size_t end = i;
        while (end < v.size() && !IsLinearBlank(v[end]))
            ++end;
        TEncodedWord w{v.substr(i, end - i), {}};
        if (DecodeEncodedWord(w.Word, w.Decoded))
            words.push_back(std::move(w));
    }
    return words;
}

// Quoted-printable text whose lines all end in CR LF into out. False on
// anything a conforming encoder must not write: a bare CR or LF, a line over
// 76 characters, blank space before a hard line end, an unencoded byte
// outside the printable range, a malformed or lower-case "=XX".
inline bool DecodeQuotedPrintable(std::string_view in, std::string& out) {
    size_t i = 0;
    while (i < in.size()) {
        const size_t end = in.find("\r\n", i);
        if (end == std::string_view::npos)
            return false; // the last line lacks its CR LF
        std::string_view line = in.substr(i, end - i);
        i = end + 2;
        if (line.size() > 76)
            return false;
        const bool soft = !line.empty() && line.back() == '=';
        if (soft)
            line.remove_suffix(1);
        else if (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            return false;
        for (size_t k = 0; k < line.size(); ++k) {
            const char c = line[k];
            if (c == '=') {
                if (k + 2 >= line.size())
                    return false;
                const int h = HexValue(line[k + 1]), l = HexValue(line[k + 2]);
                if (h < 0 || l < 0 || line[k + 1] > 'F' || line[k + 2] > 'F')
                    return false;
                out += static_cast<char>(h * 16 + l);
                k += 2;
            } else if (c == ' ' || c == '\t' || (c > 32 && c < 127)) {
                out += c;
            } else {
                return false;
            }
        }
        if (!soft)
            out += "\r\n";
    }
    return true;
}

} // namespace fuzzdec
