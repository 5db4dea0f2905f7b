// Network parameters of this machine: the DNS servers of the resolver
// configuration and the host name (short and fully qualified).
#pragma once

#include <string>
#include <vector>

// Every "nameserver" of the resolver configuration, IPv4 or IPv6,, in file order and
// without repeats; empty when the file cannot be read or names none. The
// file is /etc/resolv.conf unless QUILLET_RESOLV_CONF names another (for
// tests).
std::vector<std::string> GetDnsServers();
std::vector<std::string> GetDnsServersFrom(const std::string& resolvConf);

// The first of them, whole (an IPv6 address is longer than the 15
// characters an IPv4 field held). False when there is none.
bool GetFirstDnsServer(std::string& server);
bool GetFirstDnsServerFrom(const std::string& resolvConf, std::string& server);

// This machine's host name ("localhost" when the system has none).
std::string GetLocalHostName();

// The host name as the system resolver knows it in full: the canonical name
// of gethostname()'s name (getaddrinfo with AI_CANONNAME; may ask DNS), or
// that name itself when the lookup fails. QUILLET_HOST_NAME, when set, is
// taken as the full name instead (for tests; the machine's name stays).
std::string GetFullyQualifiedHostName();
