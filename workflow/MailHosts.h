// Which hosts take a domain's mail, from the records of its MX reply: the
// exchanges by preference (equal preferences in reply order), without
// duplicates whatever their letter case; without MX records the domain
// itself (implicit MX, RFC 5321 5.1); a lone MX "." (RFC 7505) means the
// domain takes no mail.
#pragma once

#include <string>
#include <vector>

class TQueryResult;

struct TMailHostChoice {
    std::vector<std::string> Hosts;
    bool NullMX = false;
};

TMailHostChoice ChooseMailHosts(const TQueryResult& result, const std::string& domain);
