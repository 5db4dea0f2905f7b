// Which hosts take a domain's mail, from the records of its MX reply, and
// when a failure at one of them moves on to the next (RFC 5321 5.1): only
// MX records owned by the domain asked for (after a CNAME the reply gave),
// whose exchange is a host name, by preference (equal preferences in
// reply order), without duplicates whatever their letter case, at most
// MaxMailHosts; without MX records the domain itself (implicit MX); a lone
// MX "." (RFC 7505) means the domain takes no mail.
#pragma once

#include <string>
#include <vector>

class Exception;
class TQueryResult;

// More hosts than any domain needs; a reply listing more is cut here.
constexpr size_t MaxMailHosts = 10;

struct TMailHostChoice {
    std::vector<std::string> Hosts;
    bool NullMX = false;
    // MX records for the domain exist, but none names a usable host.
    bool NoUsableHost = false;
};

// domain as asked (A-label form for an international one).
TMailHostChoice ChooseMailHosts(const TQueryResult& result, const std::string& domain);

// Letters, digits, hyphens and dots in labels of 1 to 63 characters, 253
// at most in all (a final dot aside): what an MX exchange may be.
bool IsHostName(const std::string& name);

// True when failure is the domain's answer (a 5xx reply), so no other host
// of it is tried; any other failure (4xx, no connection, a time-out) is
// one host's, and the next one is tried.
bool EndsDomain(const Exception& failure);
