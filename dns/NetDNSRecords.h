// Resource records of a DNS reply (RFC 1035, 3.3 and 4.1.3; SRV, RFC 2782) and the result
// collection the resolver fills, plus DecodeName for compressed names
// (RFC 1035, 4.1.4). Records parse only their own data through TDnsReader;
// walking the sections of a reply is left to TNetDNSResolver.
#pragma once

#include "dns/DnsReader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Query and record types by their type codes. A record whose code has no
// name here keeps its code in RecordType all the same (e.g. 28 for AAAA).
enum class TQueryRecordTypes : uint16_t {
    qtA = 1,
    qtNS = 2,
    qtMD = 3,
    qtMF = 4,
    qtName = 5,
    qtSOA = 6,
    qtMB = 7,
    qtMG = 8,
    qtMR = 9,
    qtNull = 10,
    qtWKS = 11,
    qtPTR = 12,
    qtHINFO = 13,
    qtMINFO = 14,
    qtMX = 15,
    qtTXT = 16,
    qtSRV = 33,
    qtSTAR = 255,
};

// The domain name at offset in data, following compression pointers. On
// return offset is just past the name where it sits (past the first pointer
// when one was followed). Raises ENetDnsResolverError for a label running
// past the end ("Invalid Packet Size 3"), a pointer outside the data,
// pointers that loop, and names longer than 255 bytes.
std::string DecodeName(const TDnsReader& data, size_t& offset);

// One resource record; the generic kind for types without their own class.
class TResultRecord {
public:
    virtual ~TResultRecord() = default;

    // Reads the kind's fields from the record data at offset in packet,
    // which ends right after this record's data.
    virtual void ParseRecordData(const TDnsReader& packet, size_t offset);

    TQueryRecordTypes RecordType = TQueryRecordTypes::qtA;
    uint16_t RecordClass = 0;
    std::string OwnerName;
    uint32_t TimeToLive = 0;
    std::string RawData;
    int32_t RawDataLength = 0;
};

// Record data that is an IPv4 address.
class TRDATARecord : public TResultRecord {
public:
    void ParseRecordData(const TDnsReader& packet, size_t offset) override;
    std::string HostAddress;
};

class TARecord : public TRDATARecord {};

// Record data that is one domain name (CNAME; NS and PTR below).
class TNAMERecord : public TResultRecord {
public:
    void ParseRecordData(const TDnsReader& packet, size_t offset) override;
    std::string TargetName;
};

class TNSRecord : public TNAMERecord {};
class TPTRRecord : public TNAMERecord {};

class TMXRecord : public TResultRecord {
public:
    void ParseRecordData(const TDnsReader& packet, size_t offset) override;
    uint16_t Preference = 0;
    std::string Exchange;
};

class TSOARecord : public TResultRecord {
public:
    void ParseRecordData(const TDnsReader& packet, size_t offset) override;
    std::string MName;
    std::string RName;
    uint32_t ZoneVersion = 0;
    uint32_t Refresh = 0;
    uint32_t Retry = 0;
    uint32_t Expire = 0;
    uint32_t Minimum = 0;
};

// SRV (RFC 2782): where a service of the owner name runs. A Target of "."
// says the service is not offered at all.
class TSRVRecord : public TResultRecord {
public:
    void ParseRecordData(const TDnsReader& packet, size_t offset) override;
    uint16_t Priority = 0;
    uint16_t Weight = 0;
    uint16_t Port = 0;
    std::string Target;
};

// TXT: character strings of up to 255 bytes each.
class TTextRecord : public TResultRecord {
public:
    void ParseRecordData(const TDnsReader& packet, size_t offset) override;
    std::vector<std::string> Texts;
};

class THINFORecord : public TTextRecord {
public:
    void ParseRecordData(const TDnsReader& packet, size_t offset) override;
    std::string Cpu;
    std::string Os;
};

class TMINFORecord : public TResultRecord {
public:
    void ParseRecordData(const TDnsReader& packet, size_t offset) override;
    std::string ResponsibleMailbox;
    std::string ErrorMailbox;
};

class TWKSRecord : public TResultRecord {
public:
    void ParseRecordData(const TDnsReader& packet, size_t offset) override;
    std::string HostAddress;
    uint8_t Protocol = 0;
    std::string BitMap;
};

// A new record of the kind for a type code (the generic kind for others).
std::unique_ptr<TResultRecord> CreateResultRecord(uint16_t typeCode);

// The records of one reply in reply order (answers, authority, additional),
// with the first question as the server echoed it. Owns its records.
class TQueryResult {
public:
    int Count() const { return static_cast<int>(Records.size()); }
    // index 0 to Count() - 1.
    TResultRecord& operator[](int index) const { return *Records.at(static_cast<size_t>(index)); }
    void Clear();
    void Add(std::unique_ptr<TResultRecord> record) { Records.push_back(std::move(record)); }
    void Swap(TQueryResult& other) noexcept;

    std::string QueryDomain;
    uint16_t QueryType = 0;
    uint16_t QueryClass = 0;

private:
    std::vector<std::unique_ptr<TResultRecord>> Records;
};
