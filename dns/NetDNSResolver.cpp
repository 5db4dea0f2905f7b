// DNS queries over UDP (RFC 1035, 4.1 and 4.2.1): builds the query, sends it,
// waits for the reply that belongs to it and parses the reply's sections.
// A fresh random identifier per query and the check of sender, identifier
// and echoed question keep late and forged datagrams from being taken.
// A truncated reply is asked again over TCP (RFC 7766, NetDNSTCP.h).
#include "dns/NetDNSResolver.h"

#include "base/Text.h"
#include "base/Translate.h"
#include "dns/NetDNSTCP.h"
#include "net/NetSocketError.h"
#include "platform/Clock.h"

#include <algorithm>
#include <random>
#include <sys/random.h>

namespace {

constexpr TQueryRecordTypes AllTypes[] = {
    TQueryRecordTypes::qtA,     TQueryRecordTypes::qtNS,    TQueryRecordTypes::qtMD,
    TQueryRecordTypes::qtMF,    TQueryRecordTypes::qtName,  TQueryRecordTypes::qtSOA,
    TQueryRecordTypes::qtMB,    TQueryRecordTypes::qtMG,    TQueryRecordTypes::qtMR,
    TQueryRecordTypes::qtNull,  TQueryRecordTypes::qtWKS,   TQueryRecordTypes::qtPTR,
    TQueryRecordTypes::qtHINFO, TQueryRecordTypes::qtMINFO, TQueryRecordTypes::qtMX,
    TQueryRecordTypes::qtTXT,   TQueryRecordTypes::qtSRV,   TQueryRecordTypes::qtSTAR,
};

constexpr size_t HeaderSize = 12;
constexpr uint16_t RecursionDesired = 0x0100;
constexpr uint16_t Truncated = 0x0200;
// RFC 1035, 2.3.4: 63 bytes a label, 255 bytes a name on the wire (253
// characters as text, without a final dot).
constexpr size_t MaxLabelLength = 63;
constexpr size_t MaxWireNameLength = 255;
constexpr uint16_t ClassInternet = 1;

void PutU16(std::string& out, uint16_t value) {
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value & 0xFF);
}

// A query identifier an off-path sender cannot predict.
uint16_t FreshIdentifier() {
    uint16_t value = 0;
    if (getrandom(&value, sizeof value, 0) == sizeof value)
        return value;
    std::random_device device;
    return static_cast<uint16_t>(device());
}

std::vector<std::string> SplitLabels(const std::string& domain) {
    std::vector<std::string> labels;
    // The root written with its dot has no labels, as "" has none.
    if (domain == ".")
        return labels;
    size_t start = 0;
    while (start < domain.size()) {
        const size_t dot = domain.find('.', start);
        if (dot == std::string::npos) {
            labels.push_back(domain.substr(start));
            break;
        }
        labels.push_back(domain.substr(start, dot - start));
        start = dot + 1;
    }
    return labels;
}

[[noreturn]] void RaiseInvalidName(const std::string& domain, const char* why) {
    throw ENetDnsResolverError(Tr("NetDNSResolver", "Invalid domain name \"%1\": %2.")
                                   .Arg(domain, Tr("NetDNSResolver", why)));
}

// A name the server could not take apart as we mean it: an empty label
// (only the final dot, or the root "" and ".", may stand alone) or one too
// long for its length byte, whose top bits would turn it into a pointer.
void CheckLabels(const std::string& domain) {
    if (domain.empty() || domain == ".")
        return;
    const std::string name = domain.back() == '.' ? domain.substr(0, domain.size() - 1) : domain;
    size_t start = 0;
    for (;;) {
        const size_t dot = std::min(name.find('.', start), name.size());
        if (dot == start)
            RaiseInvalidName(domain, TR_NOOP("NetDNSResolver", "empty label"));
        if (dot - start > MaxLabelLength)
            RaiseInvalidName(domain, TR_NOOP("NetDNSResolver", "label longer than 63 bytes"));
        if (dot == name.size())
            return;
        start = dot + 1;
    }
}

// Length-prefixed labels; the zero byte that ends the name is the caller's.
// A reverse lookup asks for the address backwards under in-addr.arpa.
void EncodeName(std::string& out, const std::string& domain, bool reverse) {
    std::vector<std::string> labels = SplitLabels(domain);
    if (reverse && domain.find("in-addr") == std::string::npos) {
        std::reverse(labels.begin(), labels.end());
        labels.push_back("in-addr");
        labels.push_back("arpa");
    }
    for (const std::string& label : labels) {
        out += static_cast<char>(label.size());
        out += label;
    }
}

TDNSHeader ReadHeader(const TDnsReader& reply) {
    TDNSHeader header;
    header.Id = reply.U16(0, "identifier");
    header.Flags = reply.U16(2, "flag word");
    header.QDCount = reply.U16(4, "question count");
    header.ANCount = reply.U16(6, "answer count");
    header.NSCount = reply.U16(8, "authority count");
    header.ARCount = reply.U16(10, "additional count");
    return header;
}

} // namespace

TNetDNSResolver::TNetDNSResolver() {
    Port = 53;
    Id = FreshIdentifier();
    Header.Id = Id;
}

void TNetDNSResolver::BuildQuery(const std::string& domain) {
    Query.clear();
    Questions.clear();
    QuestionBytes = 0;
    CheckLabels(domain);
    Header = TDNSHeader();
    Header.Flags = AllowRecursiveQueries ? RecursionDesired : 0;
    for (TQueryRecordTypes type : AllTypes)
        if (QueryRecords.count(type))
            ++Header.QDCount;
    if (Header.QDCount == 0) {
        Header.Id = Id;
        return;
    }
    Id = FreshIdentifier();
    Header.Id = Id;

    std::string packet;
    PutU16(packet, Header.Id);
    PutU16(packet, Header.Flags);
    PutU16(packet, Header.QDCount);
    packet.append(6, '\0');
    for (TQueryRecordTypes type : AllTypes) {
        if (!QueryRecords.count(type))
            continue;
        const size_t nameStart = packet.size();
        EncodeName(packet, domain, type == TQueryRecordTypes::qtPTR);
        packet += '\0';
        if (packet.size() - nameStart > MaxWireNameLength)
            RaiseInvalidName(domain, TR_NOOP("NetDNSResolver", "longer than 253 characters"));
        PutU16(packet, static_cast<uint16_t>(type));
        PutU16(packet, ClassInternet);
    }
    Query = std::move(packet);
    QuestionBytes = Query.size() - HeaderSize;

    // Read back the way a reply is read, so the echo compares like with like.
    const TDnsReader readBack(Query);
    size_t offset = HeaderSize;
    for (uint16_t i = 0; i < Header.QDCount; ++i)
        Questions.push_back(ReadQuestion(readBack, offset));
}

TNetDNSResolver::TQuestion TNetDNSResolver::ReadQuestion(const TDnsReader& packet, size_t& offset) {
    TQuestion question;
    question.Name = DecodeName(packet, offset);
    question.Type = packet.U16(offset, "question type");
    question.Class = packet.U16(offset + 2, "question class");
    offset += 4;
    return question;
}

TNetDNSResolver::TReplyMatch TNetDNSResolver::MatchReply(const std::string& reply) const {
    // Fewer than 5 bytes cannot be a reply; the lookup keeps waiting.
    if (reply.size() < 5)
        return TReplyMatch::NotDns;
    const TDnsReader packet(reply);
    if (packet.U16(0, "identifier") != Id)
        return TReplyMatch::OtherId;
    // Too short to echo the question: taken, so that its size is reported.
    if (reply.size() < Query.size())
        return TReplyMatch::Ours;
    const TDNSHeader header = ReadHeader(packet);
    // Some servers leave the question out of an error reply; an error
    // cannot pass for a result, so it is taken as well.
    if (header.QDCount == 0 && (header.Flags & 0x0F) != 0)
        return TReplyMatch::Ours;
    if (header.QDCount != Questions.size())
        return TReplyMatch::OtherQuestion;
    try {
        size_t offset = HeaderSize;
        for (const TQuestion& mine : Questions) {
            const TQuestion echoed = ReadQuestion(packet, offset);
            if (!SameText(echoed.Name, mine.Name) || echoed.Type != mine.Type ||
                echoed.Class != mine.Class)
                return TReplyMatch::OtherQuestion;
        }
    } catch (const ENetDnsResolverError&) {
        return TReplyMatch::OtherQuestion;
    }
    return TReplyMatch::Ours;
}

void TNetDNSResolver::ResolveDomain(const std::string& domain) {
    std::vector<std::string> servers{Host};
    for (const std::string& fallback : FallbackHosts)
        if (!fallback.empty())
            servers.push_back(fallback);
    for (size_t i = 0;; ++i) {
        try {
            AskServer(domain, servers[i]);
            return;
        } catch (const ENetDnsTimedOut&) {
            // Only silence moves on: an answer, even an error, is the answer.
            if (i + 1 == servers.size())
                throw;
        }
    }
}

void TNetDNSResolver::AskServer(const std::string& domain, const std::string& server) {
    BuildQuery(domain);
    if (Query.empty())
        throw ENetDnsResolverError(Tr("NetDNSResolver", "Invalid Query Count %1").Arg(0));
    SendDatagram(Query, server, Port);
    const std::string serverIP = HostIP();
    std::string reply = AwaitUdpReply(serverIP, Port);
    if (reply.size() >= 4 && (TDnsReader(reply).U16(2, "flag word") & Truncated))
        reply = AskOverTcp(domain, serverIP, Port);
    ParseResponse(reply);
}

std::string TNetDNSResolver::AwaitUdpReply(const std::string& serverIP, int32_t serverPort) {
    const bool unlimited = ReceiveTimeout < 0;
    const uint32_t started = GetTickCount();
    bool sawOtherId = false;
    for (;;) {
        int32_t wait = TimeoutInfinite;
        if (!unlimited) {
            const uint32_t elapsed = GetTickCount() - started;
            wait = elapsed >= uint32_t(ReceiveTimeout) ? 0 : ReceiveTimeout - int32_t(elapsed);
        }
        std::string senderIP;
        int32_t senderPort = 0;
        std::string reply;
        try {
            reply = ReceiveDatagram(wait, senderIP, senderPort);
        } catch (const ENetSocketError& e) {
            // Someone else's oversized datagram must not end the lookup.
            if (e.Code != WSAEMSGSIZE || (senderIP == serverIP && senderPort == serverPort))
                throw;
            continue;
        }
        if (senderPort == 0 && senderIP.empty()) {
            // Nothing arrived; a wait may end a little early, so the time
            // is measured here before giving up.
            if (unlimited || GetTickCount() - started >= uint32_t(ReceiveTimeout))
                break;
            continue;
        }
        if (senderIP != serverIP || senderPort != serverPort)
            continue;
        const TReplyMatch match = MatchReply(reply);
        if (match == TReplyMatch::OtherId)
            sawOtherId = true;
        if (match == TReplyMatch::Ours)
            return reply;
    }
    if (sawOtherId)
        throw ENetDnsResolverError(Tr("NetDNSResolver", "Invalid Header Id %1").Arg(Id));
    throw ENetDnsTimedOut();
}

std::string TNetDNSResolver::AskOverTcp(const std::string& domain, const std::string& serverIP,
                                        int32_t serverPort) {
    // A new exchange gets an identifier of its own.
    BuildQuery(domain);
    std::string reply = ExchangeDnsOverTcp(serverIP, serverPort, Query, ReceiveTimeout);
    // On a stream there is no second reply to wait for: one that does not
    // belong to the query ends the lookup.
    switch (MatchReply(reply)) {
    case TReplyMatch::NotDns:
        throw ENetDnsResolverError(
            Tr("NetDNSResolver", "Received Packet is too small. Less than 12 bytes %1").Arg(29));
    case TReplyMatch::OtherId:
        throw ENetDnsResolverError(Tr("NetDNSResolver", "Invalid Header Id %1").Arg(Id));
    case TReplyMatch::OtherQuestion:
        throw ENetDnsResolverError(
            Tr("NetDNSResolver", "Reply over TCP answers another question than the one asked"));
    case TReplyMatch::Ours:
        break;
    }
    return reply;
}

void TNetDNSResolver::CheckIdentifier(const TDnsReader& reply) const {
    if (reply.Size() < 5)
        throw ENetDnsTimedOut();
    if (reply.U16(0, "identifier") != Id)
        throw ENetDnsResolverError(Tr("NetDNSResolver", "Invalid Header Id %1").Arg(Id));
}

void TNetDNSResolver::CheckResponseCode(uint16_t flags) const {
    switch (flags & 0x0F) {
    case 0:
        return; // "RCode NO Error"
    case 1:
        throw ENetDnsResolverError(Tr("NetDNSResolver", "DNS Server Reports Query Format Error"));
    case 2:
        throw ENetDnsServerFailure();
    case 3:
        throw ENetDnsResolverError(Tr("NetDNSResolver", "DNS Server Reports Query Name Error"));
    case 4:
        throw ENetDnsResolverError(
            Tr("NetDNSResolver", "DNS Server Reports Query Not Implemented Error"));
    case 5:
        throw ENetDnsResolverError(Tr("NetDNSResolver", "DNS Server Reports Query Refused Error"));
    default:
        throw ENetDnsResolverError(Tr("NetDNSResolver", "Server Returned Unknown Error"));
    }
}

void TNetDNSResolver::CheckSize(const TDnsReader& reply) const {
    if (reply.Size() < HeaderSize)
        throw ENetDnsResolverError(
            Tr("NetDNSResolver", "Received Packet is too small. Less than 12 bytes %1").Arg(29));
    if (reply.Size() < Query.size())
        throw ENetDnsResolverError(
            Tr("NetDNSResolver", "Received Packet is too small. Less than 12 bytes %1").Arg(30));
}

void TNetDNSResolver::ParseResponse(const std::string& reply) {
    const TDnsReader packet(reply);
    CheckIdentifier(packet);
    CheckResponseCode(packet.U16(2, "flag word"));
    CheckSize(packet);
    const TDNSHeader header = ReadHeader(packet);
    // Counted wide: three 16-bit counts can sum past 65535.
    const uint32_t records = uint32_t(header.ANCount) + header.NSCount + header.ARCount;
    if (records == 0 || reply.size() == HeaderSize) {
        Header = header;
        return;
    }
    ParseSections(packet, header);
    Header = header;
}

void TNetDNSResolver::ParseSections(const TDnsReader& reply, const TDNSHeader& counts) {
    // Built aside and swapped in only once the whole reply has parsed.
    TQueryResult result;
    size_t p = HeaderSize;
    for (uint16_t i = 0; i < counts.QDCount; ++i) {
        TQuestion question = ReadQuestion(reply, p);
        if (i == 0) {
            result.QueryDomain = std::move(question.Name);
            result.QueryType = question.Type;
            result.QueryClass = question.Class;
        }
    }
    const uint32_t records = uint32_t(counts.ANCount) + counts.NSCount + counts.ARCount;
    for (uint32_t i = 0; i < records; ++i) {
        std::string owner = DecodeName(reply, p);
        const uint16_t type = reply.U16(p, "record type");
        const uint16_t recordClass = reply.U16(p + 2, "record class");
        const uint32_t ttl = reply.U32(p + 4, "record time to live");
        const uint16_t length = reply.U16(p + 8, "record data length");
        std::unique_ptr<TResultRecord> record = CreateResultRecord(type);
        record->RecordType = static_cast<TQueryRecordTypes>(type);
        record->RecordClass = recordClass;
        record->OwnerName = std::move(owner);
        record->TimeToLive = ttl;
        record->RawData = reply.Bytes(p + 10, length, "record data");
        record->RawDataLength = length;
        record->ParseRecordData(reply.Prefix(p + 10 + length), p + 10);
        result.Add(std::move(record));
        p += 10 + size_t(length);
    }
    QueryResult.Swap(result);
}
