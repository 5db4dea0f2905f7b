// Message-ID; see MessageId.h.
#include "workflow/MessageId.h"

#include <cstdio>
#include <ctime>
#include <netdb.h>
#include <sys/random.h>
#include <unistd.h>

std::string HostCanonicalName() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0)
        return "localhost";
    std::string name = host;
    addrinfo hints{};
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host, nullptr, &hints, &found) == 0 && found) {
        if (found->ai_canonname && *found->ai_canonname)
            name = found->ai_canonname;
        ::freeaddrinfo(found);
    }
    return name;
}

std::string NewMessageId(const std::string& fromAddress) {
    unsigned char bits[16] = {};
    size_t got = 0;
    while (got < sizeof bits) {
        ssize_t n = ::getrandom(bits + got, sizeof bits - got, 0);
        if (n > 0)
            got += static_cast<size_t>(n);
    }
    char hex[33];
    for (size_t i = 0; i < sizeof bits; ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", bits[i]);
    size_t at = fromAddress.rfind('@');
    std::string domain = at == std::string::npos ? std::string() : fromAddress.substr(at + 1);
    if (domain.empty())
        domain = HostCanonicalName();
    return "<" + std::string(hex) + "." +
           std::to_string(static_cast<long long>(std::time(nullptr))) + "@" + domain + ">";
}
