// libFuzzer target for the DNS reply parser: any bytes, taken as the reply to
// an MX query, must parse or raise ENetDnsResolverError, never crash or hang.
// The identifier is patched in so that the parser gets past its first check.
#include "dns/NetDNSResolver.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TNetDNSResolver* resolver = [] {
        auto* r = new TNetDNSResolver;
        r->QueryRecords = {TQueryRecordTypes::qtMX};
        return r;
    }();
    // The first byte picks the query, so questions of several shapes are tried.
    static const char* const domains[] = {"example.com", "", "a.b.c.d.e", "1.2.3.4"};
    if (size == 0)
        return 0;
    resolver->QueryRecords = {TQueryRecordTypes::qtMX};
    if (data[0] & 0x80)
        resolver->QueryRecords.insert(TQueryRecordTypes::qtPTR);
    resolver->BuildQuery(domains[data[0] & 3]);

    std::string reply(reinterpret_cast<const char*>(data + 1), size - 1);
    if (reply.size() >= 2 && !(data[0] & 0x40)) {
        reply[0] = static_cast<char>(resolver->QueryId() >> 8);
        reply[1] = static_cast<char>(resolver->QueryId() & 0xFF);
    }
    resolver->MatchReply(reply);
    try {
        resolver->ParseResponse(reply);
    } catch (const ENetDnsResolverError&) {
    }
    return 0;
}
