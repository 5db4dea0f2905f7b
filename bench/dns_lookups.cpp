// Times sequential MX lookups with one TNetDNSResolver against a server on
// 127.0.0.1 (loopback only): prints median, 99th percentile and mean in
// microseconds. Usage: dns_lookups_bench PORT DOMAIN [COUNT]
#include "dns/NetDNSResolver.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PORT DOMAIN [COUNT]\n", argv[0]);
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const char* domain = argv[2];
    const int count = argc > 3 ? std::atoi(argv[3]) : 1000;

    TNetDNSResolver resolver;
    resolver.Host = "127.0.0.1";
    resolver.Port = port;
    resolver.ReceiveTimeout = 5000;
    resolver.QueryRecords = {TQueryRecordTypes::qtMX};
    using Clock = std::chrono::steady_clock;
    std::vector<double> micros;
    micros.reserve(static_cast<size_t>(count));
    try {
        for (int i = 0; i < 20; ++i) // warm-up: socket, caches
            resolver.ResolveDomain(domain);
        for (int i = 0; i < count; ++i) {
            const auto start = Clock::now();
            resolver.QueryResult.Clear();
            resolver.ResolveDomain(domain);
            micros.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            if (resolver.QueryResult.Count() == 0) {
                std::fprintf(stderr, "lookup %d gave no records\n", i);
                return 1;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lookup failed: %s\n", e.what());
        return 1;
    }
    double total = 0;
    for (double m : micros)
        total += m;
    std::sort(micros.begin(), micros.end());
    const double median = micros[micros.size() / 2];
    const double p99 = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    std::printf("%.1f %.1f %.1f\n", median, p99, total / micros.size());
    return 0;
}
