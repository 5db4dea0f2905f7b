// TNetDNSResolver: asks one DNS server over UDP for the records of a domain
// (RFC 1035, 4.1) and turns every record of the reply into TQueryResult.
// No retry, no second server, no TCP fallback and no cache: the caller picks
// the server and decides what to do with a failure.
#pragma once

#include "mail/delivery/NetDNSRecords.h"
#include "mail/delivery/NetUDPClient.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

// Identifier, flag word and section counts of the current query or reply.
struct TDNSHeader {
    uint16_t Id = 0;
    uint16_t Flags = 0;
    uint16_t QDCount = 0;
    uint16_t ANCount = 0;
    uint16_t NSCount = 0;
    uint16_t ARCount = 0;
};

class TNetDNSResolver : public TNetUDPClient {
public:
    TNetDNSResolver();

    // Sends the query for domain, waits ReceiveTimeout for the matching
    // reply and fills QueryResult. Raises ENetDnsResolverError, or a socket
    // error of the UDP client.
    void ResolveDomain(const std::string& domain);

    // The query for domain with the current QueryRecords and
    // AllowRecursiveQueries and a fresh identifier; empty when no type is
    // selected.
    void BuildQuery(const std::string& domain);
    // Checks reply against the last built query and, when it holds records,
    // replaces QueryResult with them. A reply that fails leaves QueryResult
    // as it was.
    void ParseResponse(const std::string& reply);

    // How a datagram from the server relates to the last built query.
    enum class TReplyMatch { NotDns, OtherId, OtherQuestion, Ours };
    TReplyMatch MatchReply(const std::string& reply) const;

    const TDNSHeader& DNSHeader() const { return Header; }
    const std::string& QueryPacket() const { return Query; }
    size_t QuestionLength() const { return QuestionBytes; }
    uint16_t QueryId() const { return Id; }

    std::set<TQueryRecordTypes> QueryRecords;
    bool AllowRecursiveQueries = true;
    TQueryResult QueryResult;

private:
    // Steps of checking a reply, in the order they are made.
    void CheckIdentifier(const TDnsReader& reply) const;
    void CheckResponseCode(uint16_t flags) const;
    void CheckSize(const TDnsReader& reply) const;
    void ParseSections(const TDnsReader& reply, const TDNSHeader& counts);

    struct TQuestion {
        std::string Name;
        uint16_t Type = 0;
        uint16_t Class = 0;
    };
    // The question at offset; offset moves past it.
    static TQuestion ReadQuestion(const TDnsReader& packet, size_t& offset);

    TDNSHeader Header;
    std::string Query;
    std::vector<TQuestion> Questions;
    size_t QuestionBytes = 0;
    uint16_t Id = 0;
};
