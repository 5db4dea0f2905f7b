// Bounds-checked reads of a received DNS message; see DnsReader.h.
#include "dns/DnsReader.h"

#include "base/Text.h"
#include "base/Translate.h"

TDnsReader TDnsReader::Prefix(size_t end) const {
    Need(0, end, "record data");
    return TDnsReader(Data.substr(0, end));
}

void TDnsReader::Need(size_t offset, size_t count, const char* what) const {
    if (!Has(offset, count))
        throw ENetDnsResolverError(
            Tr("NetDNSResolver", "Response cut short: %1 at offset %2 needs %3 bytes, %4 received")
                .Arg(what, offset, count, Data.size()));
}

uint8_t TDnsReader::U8(size_t offset, const char* what) const {
    Need(offset, 1, what);
    return At(offset);
}

uint16_t TDnsReader::U16(size_t offset, const char* what) const {
    Need(offset, 2, what);
    return static_cast<uint16_t>((At(offset) << 8) | At(offset + 1));
}

uint32_t TDnsReader::U32(size_t offset, const char* what) const {
    Need(offset, 4, what);
    return (uint32_t(At(offset)) << 24) | (uint32_t(At(offset + 1)) << 16) |
           (uint32_t(At(offset + 2)) << 8) | uint32_t(At(offset + 3));
}

std::string TDnsReader::Bytes(size_t offset, size_t count, const char* what) const {
    Need(offset, count, what);
    return std::string(Data.substr(offset, count));
}
