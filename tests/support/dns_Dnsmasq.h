// TDnsmasq: a real dnsmasq serving a generated configuration on 127.0.0.1
// and a free non-privileged port (or a loopback address, ::1 too, and port the test
// names, such as 53 for a program that asks there), for integration tests
// and benchmarks. It
// is started in the constructor, waited for until it answers, and stopped
// (SIGTERM) in the destructor.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

class TDnsmasq {
public:
    // lines: dnsmasq configuration lines ("mx-host=...", "host-record=...").
    // address, port: where to listen (port 0: a free one). Throws
    // std::runtime_error when dnsmasq is missing or never answers.
    explicit TDnsmasq(const std::vector<std::string>& lines,
                      const std::string& address = "127.0.0.1", int port = 0);
    ~TDnsmasq();
    TDnsmasq(const TDnsmasq&) = delete;
    TDnsmasq& operator=(const TDnsmasq&) = delete;

    int Port() const { return FPort; }
    static const char* Program() { return "/usr/sbin/dnsmasq"; }

private:
    bool Start(const std::string& conf);
    bool Answers() const;
    void Stop();

    std::string Dir;
    std::string Address;
    int FixedPort = 0;
    int FPort = 0;
    pid_t Pid = -1;
};
