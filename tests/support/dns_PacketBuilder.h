// TDnsPacketBuilder: writes DNS messages byte by byte for tests (RFC 1035,
// 4.1), with name compression against the names already written. It does no
// checking on purpose: tests use it to build broken replies as well.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class TDnsPacketBuilder {
public:
    enum class Section { Answer, Authority, Additional };

    // A header with id and flags (default: response, recursion desired and
    // available, no error); counts follow what is added unless SetCounts.
    explicit TDnsPacketBuilder(uint16_t id = 0, uint16_t flags = 0x8180);
    // A reply to query: the query's identifier and question section copied.
    static TDnsPacketBuilder ReplyTo(const std::string& query, uint16_t flags = 0x8180);

    TDnsPacketBuilder& Question(const std::string& name, uint16_t type, uint16_t cls = 1);
    // A record header; the data follows through the writers below and
    // EndRecord fills in its length.
    TDnsPacketBuilder& BeginRecord(Section section, const std::string& owner, uint16_t type,
                                   uint32_t ttl = 3600, uint16_t cls = 1);
    TDnsPacketBuilder& EndRecord();

    TDnsPacketBuilder& A(Section section, const std::string& owner, const std::string& dotted);
    TDnsPacketBuilder& MX(Section section, const std::string& owner, uint16_t preference,
                          const std::string& exchange);
    TDnsPacketBuilder& NS(Section section, const std::string& owner, const std::string& host);
    TDnsPacketBuilder& CNAME(Section section, const std::string& owner, const std::string& target);
    TDnsPacketBuilder& PTR(Section section, const std::string& owner, const std::string& target);
    TDnsPacketBuilder& TXT(Section section, const std::string& owner,
                           const std::vector<std::string>& texts);
    TDnsPacketBuilder& SOA(Section section, const std::string& owner, const std::string& mname,
                           const std::string& rname, uint32_t serial, uint32_t refresh,
                           uint32_t retry, uint32_t expire, uint32_t minimum);

    TDnsPacketBuilder& U8(uint8_t value);
    TDnsPacketBuilder& U16(uint16_t value);
    TDnsPacketBuilder& U32(uint32_t value);
    TDnsPacketBuilder& Raw(const std::string& bytes);
    // Labels and the final zero; with compress, a suffix written before is
    // replaced by a pointer to it. "" is the root.
    TDnsPacketBuilder& Name(const std::string& name, bool compress = true);
    TDnsPacketBuilder& CharacterString(const std::string& text);

    // Header counts to write instead of the counted ones.
    TDnsPacketBuilder& SetCounts(uint16_t questions, uint16_t answers, uint16_t authority,
                                 uint16_t additional);
    size_t Size() const { return Bytes.size(); }
    std::string Build() const;

    // The identifier of a query or reply (0 when too short).
    static uint16_t IdOf(const std::string& packet);

private:
    std::string Bytes;
    std::map<std::string, size_t> Suffixes; // lower-case name -> offset
    uint16_t Counts[4] = {0, 0, 0, 0};
    bool CountsSet = false;
    uint16_t SetValues[4] = {0, 0, 0, 0};
    size_t RecordDataAt = 0;
};
