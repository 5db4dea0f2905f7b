// Resolver configuration and host name; see Network.h.
#include "platform/Network.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

bool GetFirstDnsServerFrom(const std::string& resolvConf, std::string& server) {
    std::ifstream in(resolvConf);
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword, address;
        if (!(words >> keyword >> address) || keyword != "nameserver")
            continue;
        in_addr a;
        if (inet_pton(AF_INET, address.c_str(), &a) == 1) {
            server = address.substr(0, 15);
            return true;
        }
    }
    return false;
}

bool GetFirstDnsServer(std::string& server) {
    const char* alt = std::getenv("QUILLET_RESOLV_CONF");
    return GetFirstDnsServerFrom(alt && *alt ? alt : "/etc/resolv.conf", server);
}

std::string GetLocalHostName() {
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0 || !buf[0])
        return "localhost";
    return buf;
}
