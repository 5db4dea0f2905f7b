// Resource record kinds, the result collection and name decompression
// (RFC 1035, 3.3 and 4.1.4). Every read goes through TDnsReader, so record
// data that lies about its lengths raises instead of reading past the reply.
#include "dns/NetDNSRecords.h"

#include "base/Text.h"
#include "base/Translate.h"

namespace {

// RFC 1035, 2.3.4: a name is at most 255 bytes in its wire form.
constexpr size_t MaxNameLength = 255;
// A legitimate name has at most one pointer per label (127 labels at most);
// more jumps than that means the pointers go round in circles.
constexpr int MaxPointerJumps = 127;

std::string DottedAddress(const TDnsReader& packet, size_t offset) {
    return Format("%d.%d.%d.%d", packet.U8(offset, "IPv4 address"),
                  packet.U8(offset + 1, "IPv4 address"), packet.U8(offset + 2, "IPv4 address"),
                  packet.U8(offset + 3, "IPv4 address"));
}

// One character string (length byte and bytes) at offset; offset moves past it.
std::string CharacterString(const TDnsReader& packet, size_t& offset) {
    const uint8_t length = packet.U8(offset, "character string");
    std::string text = packet.Bytes(offset + 1, length, "character string");
    offset += 1 + length;
    return text;
}

} // namespace

std::string DecodeName(const TDnsReader& data, size_t& offset) {
    std::string result;
    size_t p = offset;
    size_t continueAt = 0;
    bool jumped = false;
    int jumps = 0;
    for (;;) {
        uint8_t b = data.U8(p, "domain name");
        while (b >= 192) {
            const uint8_t low = data.U8(p + 1, "name pointer");
            if (!jumped) {
                continueAt = p + 2;
                jumped = true;
            }
            if (++jumps > MaxPointerJumps)
                throw ENetDnsResolverError(Tr("NetDNSResolver", "Name compression pointers loop"));
            p = (size_t(b & 63) << 8) | low;
            if (!data.Has(p, 1))
                throw ENetDnsResolverError(
                    Tr("NetDNSResolver", "Name pointer to offset %1 lies outside the %2 bytes")
                        .Arg(p, data.Size()));
            b = data.At(p);
        }
        if (b == 0)
            break;
        // 0x40 and 0x80 in the top bits are label types nobody defines
        // (RFC 6891 retired the one extended type); only lengths up to 63.
        if (b > 63)
            throw ENetDnsResolverError(
                Tr("NetDNSResolver", "Invalid label type %1 in a domain name")
                    .Arg(Format("0x%02X", unsigned(b & 0xC0))));
        if (!data.Has(p + 1, b))
            throw ENetDnsResolverError(Tr("NetDNSResolver", "Invalid Packet Size %1").Arg(3));
        result.append(data.Bytes(p + 1, b, "label"));
        result += '.';
        // The wire form is the text plus the final zero byte.
        if (result.size() + 1 > MaxNameLength)
            throw ENetDnsResolverError(Tr("NetDNSResolver", "Domain name longer than 255 bytes"));
        p += 1 + size_t(b);
        // A name must end with its zero byte inside the data; U8 above
        // rejects one that runs into the end instead.
        if (data.Has(p, 1) && data.At(p) == 0)
            break;
    }
    if (!result.empty())
        result.pop_back();
    offset = jumped ? continueAt : p + 1;
    return result;
}

void TResultRecord::ParseRecordData(const TDnsReader&, size_t) {}

void TRDATARecord::ParseRecordData(const TDnsReader& packet, size_t offset) {
    if (packet.Size() > offset)
        HostAddress = DottedAddress(packet, offset);
}

void TNAMERecord::ParseRecordData(const TDnsReader& packet, size_t offset) {
    TargetName = DecodeName(packet, offset);
}

void TMXRecord::ParseRecordData(const TDnsReader& packet, size_t offset) {
    Preference = packet.U16(offset, "MX preference");
    offset += 2;
    Exchange = DecodeName(packet, offset);
}

void TSRVRecord::ParseRecordData(const TDnsReader& packet, size_t offset) {
    Priority = packet.U16(offset, "SRV priority");
    Weight = packet.U16(offset + 2, "SRV weight");
    Port = packet.U16(offset + 4, "SRV port");
    offset += 6;
    // The root name (a lone zero byte) decodes as "": RFC 2782's ".".
    Target = DecodeName(packet, offset);
    if (Target.empty())
        Target.assign(1, '.');
}

void TSOARecord::ParseRecordData(const TDnsReader& packet, size_t offset) {
    MName = DecodeName(packet, offset);
    RName = DecodeName(packet, offset);
    ZoneVersion = packet.U32(offset, "SOA serial");
    Refresh = packet.U32(offset + 4, "SOA refresh");
    Retry = packet.U32(offset + 8, "SOA retry");
    Expire = packet.U32(offset + 12, "SOA expire");
    Minimum = packet.U32(offset + 16, "SOA minimum");
}

void TTextRecord::ParseRecordData(const TDnsReader& packet, size_t offset) {
    Texts.clear();
    while (offset < packet.Size() && packet.At(offset) != 0)
        Texts.push_back(CharacterString(packet, offset));
}

void THINFORecord::ParseRecordData(const TDnsReader& packet, size_t offset) {
    TTextRecord::ParseRecordData(packet, offset);
    Cpu.clear();
    Os.clear();
    if (offset < packet.Size())
        Cpu = CharacterString(packet, offset);
    if (offset < packet.Size())
        Os = CharacterString(packet, offset);
}

void TMINFORecord::ParseRecordData(const TDnsReader& packet, size_t offset) {
    ResponsibleMailbox = DecodeName(packet, offset);
    ErrorMailbox = DecodeName(packet, offset);
}

void TWKSRecord::ParseRecordData(const TDnsReader& packet, size_t offset) {
    HostAddress = DottedAddress(packet, offset);
    Protocol = packet.U8(offset + 4, "WKS protocol");
    BitMap = packet.Bytes(offset + 5, packet.Size() - (offset + 5), "WKS bit map");
}

std::unique_ptr<TResultRecord> CreateResultRecord(uint16_t typeCode) {
    switch (static_cast<TQueryRecordTypes>(typeCode)) {
    case TQueryRecordTypes::qtA:
        return std::make_unique<TARecord>();
    case TQueryRecordTypes::qtNS:
        return std::make_unique<TNSRecord>();
    case TQueryRecordTypes::qtName:
        return std::make_unique<TNAMERecord>();
    case TQueryRecordTypes::qtSOA:
        return std::make_unique<TSOARecord>();
    case TQueryRecordTypes::qtWKS:
        return std::make_unique<TWKSRecord>();
    case TQueryRecordTypes::qtPTR:
        return std::make_unique<TPTRRecord>();
    case TQueryRecordTypes::qtHINFO:
        return std::make_unique<THINFORecord>();
    case TQueryRecordTypes::qtMINFO:
        return std::make_unique<TMINFORecord>();
    case TQueryRecordTypes::qtMX:
        return std::make_unique<TMXRecord>();
    case TQueryRecordTypes::qtTXT:
        return std::make_unique<TTextRecord>();
    case TQueryRecordTypes::qtSRV:
        return std::make_unique<TSRVRecord>();
    default:
        return std::make_unique<TResultRecord>();
    }
}

void TQueryResult::Clear() {
    Records.clear();
    QueryDomain.clear();
    QueryType = 0;
    QueryClass = 0;
}

void TQueryResult::Swap(TQueryResult& other) noexcept {
    Records.swap(other.Records);
    QueryDomain.swap(other.QueryDomain);
    std::swap(QueryType, other.QueryType);
    std::swap(QueryClass, other.QueryClass);
}
