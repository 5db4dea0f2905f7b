// Content encoders of the message writer: the 3-to-4 block encoder with its
// base64 alphabet (RFC 2045 section 6.8), the attachment line encoders
// (base64 lines of 76 characters; UU and XX for the UU message style) and
// quoted-printable (RFC 2045 section 6.7). Decoding is not needed here.
#pragma once

#include "base/Stream.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <string>

class TNetEncoder3to4 {
public:
    // Count meaning "every remaining byte".
    static constexpr int32_t AllBytes = std::numeric_limits<int32_t>::max();

    TNetEncoder3to4(std::string codingTable, char fillChar)
        : CodingTable(std::move(codingTable)), FillChar(fillChar) {}
    virtual ~TNetEncoder3to4() = default;

    // Encodes the next count bytes of source (fewer at its end). Raises
    // ENetException "Uneven size in Encode." unless count is AllBytes or a
    // multiple of 3.
    std::string Encode(TStream& source, int32_t count = AllBytes) const;
    // Encodes n bytes into out (4 * ceil(n / 3) characters); returns the count.
    size_t EncodeBlock(const uint8_t* in, size_t n, char* out) const;

    const std::string CodingTable;
    const char FillChar;
};

class TNetEncoderMIME : public TNetEncoder3to4 {
public:
    TNetEncoderMIME();
};

// An attachment encoder, looked up by name in the attachment-encoder table.
class TNetMessageEncoder {
public:
    virtual ~TNetMessageEncoder() = default;
    // Writes the encoded lines of the whole source (from its start) to dest.
    virtual void Encode(TStream& source, TStream& dest) = 0;

    std::string FileName;
    int PermissionCode = 660;
};

// Base64 lines of 57 input bytes (76 characters + CR LF); no blank line and
// no terminator. The source is read through a fixed-size buffer so that a
// file costs one read per buffer, not one per line.
class TNetMessageEncoderMIME : public TNetMessageEncoder {
public:
    void Encode(TStream& source, TStream& dest) override;
};

// "begin <PermissionCode> <FileName>", lines of 45 bytes with a length
// character, an empty length line and "end": the UU and XX styles.
class TNetMessageEncoderUUBase : public TNetMessageEncoder {
public:
    explicit TNetMessageEncoderUUBase(std::unique_ptr<TNetEncoder3to4> coder)
        : Coder(std::move(coder)) {}
    void Encode(TStream& source, TStream& dest) override;

private:
    std::unique_ptr<TNetEncoder3to4> Coder;
};

class TNetMessageEncoderUUE : public TNetMessageEncoderUUBase {
public:
    TNetMessageEncoderUUE();
};

class TNetMessageEncoderXXE : public TNetMessageEncoderUUBase {
public:
    TNetMessageEncoderXXE();
};

// One entry of the attachment-encoder table.
struct TNetMessageEncoderInfo {
    std::string Name;
    std::unique_ptr<TNetMessageEncoder> (*Create)();
};

// The table of attachment encodings: "MIME", "UUE", "XXE".
class TNetMessageEncoderList {
public:
    // The entry of name (ignoring case), or nullptr.
    static const TNetMessageEncoderInfo* Find(const std::string& name);
};

// Quoted-printable of one text (normally one line with its CR LF). Lines are
// soft-broken with "=" once they pass 71 characters, also when only the
// line end follows, never inside CR LF; no encoded line exceeds 76.
class TNetEncoderQuotedPrintable {
public:
    std::string Encode(const std::string& text) const;
};
