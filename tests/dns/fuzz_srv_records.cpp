// libFuzzer target for SRV records: any bytes as the data of an SRV answer
// to a _submission lookup must parse or raise ENetDnsResolverError, and the
// targets read from it must order without fault.
#include "dns/NetDNSResolver.h"
#include "dns/SrvOrder.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TNetDNSResolver* resolver = [] {
        auto* r = new TNetDNSResolver;
        r->QueryRecords = {TQueryRecordTypes::qtSRV};
        return r;
    }();
    const std::string name = "_submission._tcp.example.org";
    resolver->BuildQuery(name);
    // The reply: the query's header and question, one answer record owned
    // by a pointer to the question's name, its data the fuzzer's bytes.
    std::string reply = resolver->QueryPacket();
    reply[2] = char(0x81);
    reply[3] = char(0x80);
    reply[7] = 1; // one answer
    const size_t length = std::min<size_t>(size, 0xFFFF);
    reply += std::string("\xC0\x0C\x00\x21\x00\x01\x00\x00\x0E\x10", 10);
    reply += char(length >> 8);
    reply += char(length & 0xFF);
    reply.append(reinterpret_cast<const char*>(data), length);
    try {
        resolver->ParseResponse(reply);
        const auto targets = SrvTargets(resolver->QueryResult, name);
        OrderSrvTargets(targets, [size](uint32_t n) { return uint32_t(size) % (n + 1); });
    } catch (const ENetDnsResolverError&) {
    }
    return 0;
}
