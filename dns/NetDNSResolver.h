// TNetDNSResolver: asks a DNS server over UDP for the records of a domain
// (RFC 1035, 4.1) and turns every record of the reply into TQueryResult.
// A truncated reply is asked again over TCP (RFC 7766); a server that stays
// silent hands over to the next of FallbackHosts. No cache: the caller
// picks the servers and decides what to do with a failure.
#pragma once

#include "dns/NetDNSRecords.h"
#include "net/NetUDPClient.h"

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

    // Sends the query for domain to Host, waits ReceiveTimeout for the
    // matching reply and fills QueryResult. When Host does not answer in
    // time, each of FallbackHosts is asked the same way, in order. Raises
    // ENetDnsResolverError (ENetDnsTimedOut when the last server asked was
    // silent too), or a socket error of the UDP client or the TCP connect.
    void ResolveDomain(const std::string& domain);

    // The query for domain with the current QueryRecords and
    // AllowRecursiveQueries and a fresh identifier; empty when no type is
    // selected. A domain that is no valid name raises ENetDnsResolverError
    // and leaves the packet empty.
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
    // Servers asked after Host, in order, each only when the one before did
    // not answer within ReceiveTimeout (an answer with an error code ends
    // the lookup). Port is the same for all; empty entries are skipped.
    std::vector<std::string> FallbackHosts;
    TQueryResult QueryResult;

private:
    // Steps of one lookup: the exchange with one server, the wait for its
    // UDP reply, and the TCP retry of a truncated one.
    void AskServer(const std::string& domain, const std::string& server);
    std::string AwaitUdpReply(const std::string& serverIP, int32_t serverPort);
    std::string AskOverTcp(const std::string& domain, const std::string& serverIP,
                           int32_t serverPort);

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
