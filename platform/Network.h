// Network parameters of this machine: the first DNS server and the host name.
#pragma once

#include <string>

// The first IPv4 "nameserver" of the resolver configuration, at most 15
// characters as the system's 16-byte address field holds. The file is
// /etc/resolv.conf unless QUILLET_RESOLV_CONF names another (for tests).
// False when the file cannot be read or names no IPv4 server.
bool GetFirstDnsServer(std::string& server);
bool GetFirstDnsServerFrom(const std::string& resolvConf, std::string& server);

// This machine's host name ("localhost" when the system has none).
std::string GetLocalHostName();
