// TDnsReader: bounds-checked access to the bytes of a received DNS message.
// Every read of a peer-supplied offset or length goes through it, so a reply
// cut short or lying about its lengths raises ENetDnsResolverError instead of
// reading past the datagram. It knows nothing of DNS sections or names.
#pragma once

#include "base/NetException.h"
#include "base/Translate.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Every failure of a DNS lookup that the resolver itself detects.
class ENetDnsResolverError : public ENetException {
public:
    using ENetException::ENetException;
};

// No answer from the server in time: the one failure after which the next
// server may be asked.
class ENetDnsTimedOut : public ENetDnsResolverError {
public:
    ENetDnsTimedOut() : ENetDnsResolverError(Tr("NetDNSResolver", "TimedOut")) {}
};

// The server answered SERVFAIL (response code 2): it could not answer now,
// which may pass, unlike a name that does not exist.
class ENetDnsServerFailure : public ENetDnsResolverError {
public:
    ENetDnsServerFailure()
        : ENetDnsResolverError(Tr("NetDNSResolver", "DNS Server Reports Query Server Error")) {}
};

class TDnsReader {
public:
    explicit TDnsReader(std::string_view data) : Data(data) {}

    size_t Size() const { return Data.size(); }
    // True when count bytes from offset lie inside the data.
    bool Has(size_t offset, size_t count) const {
        return offset <= Data.size() && count <= Data.size() - offset;
    }
    // The same bytes cut off at end (record data may only refer backwards).
    TDnsReader Prefix(size_t end) const;

    // Big-endian numbers and raw bytes. "what" names the field for the
    // error text when the field does not fit.
    uint8_t U8(size_t offset, const char* what) const;
    uint16_t U16(size_t offset, const char* what) const;
    uint32_t U32(size_t offset, const char* what) const;
    std::string Bytes(size_t offset, size_t count, const char* what) const;

    // Unchecked byte at an offset the caller has checked with Has().
    uint8_t At(size_t offset) const { return static_cast<uint8_t>(Data[offset]); }

private:
    void Need(size_t offset, size_t count, const char* what) const;

    std::string_view Data;
};
