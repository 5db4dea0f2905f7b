// Resolver configuration and host name; see Network.h.
#include "platform/Network.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdlib>
#include <fstream>
#include <netdb.h>
#include <sstream>
#include <unistd.h>

namespace {

// An IPv4 or IPv6 address as resolv.conf writes it ("fe80::1%eth0" too).
bool IsNameServerAddress(const std::string& text) {
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST;
    hints.ai_family = AF_UNSPEC;
    addrinfo* list = nullptr;
    if (::getaddrinfo(text.c_str(), nullptr, &hints, &list) != 0 || !list)
        return false;
    ::freeaddrinfo(list);
    return true;
}

} // namespace

std::vector<std::string> GetDnsServersFrom(const std::string& resolvConf) {
    std::vector<std::string> servers;
    std::ifstream in(resolvConf);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword, address;
        if (!(words >> keyword >> address) || keyword != "nameserver")
            continue;
        if (!IsNameServerAddress(address))
            continue;
        // Asking a server twice in one lookup gains nothing.
        if (std::find(servers.begin(), servers.end(), address) == servers.end())
            servers.push_back(address);
    }
    return servers;
}

std::vector<std::string> GetDnsServers() {
    const char* alt = std::getenv("QUILLET_RESOLV_CONF");
    return GetDnsServersFrom(alt && *alt ? alt : "/etc/resolv.conf");
}

bool GetFirstDnsServerFrom(const std::string& resolvConf, std::string& server) {
    const std::vector<std::string> servers = GetDnsServersFrom(resolvConf);
    if (servers.empty())
        return false;
    server = servers.front();
    return true;
}

bool GetFirstDnsServer(std::string& server) {
    const std::vector<std::string> servers = GetDnsServers();
    if (servers.empty())
        return false;
    server = servers.front();
    return true;
}

std::string GetLocalHostName() {
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0 || !buf[0])
        return "localhost";
    return buf;
}

std::string GetFullyQualifiedHostName() {
    if (const char* name = std::getenv("QUILLET_HOST_NAME"); name && *name)
        return name;
    const std::string host = GetLocalHostName();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list)
        return host;
    std::string canonical = list->ai_canonname ? list->ai_canonname : "";
    ::freeaddrinfo(list);
    return canonical.empty() ? host : canonical;
}
