// Mail host choice; see MailHosts.h.
#include "workflow/MailHosts.h"

#include "base/Text.h"
#include "dns/NetDNSRecords.h"

#include <algorithm>

TMailHostChoice ChooseMailHosts(const TQueryResult& result, const std::string& domain) {
    TMailHostChoice choice;
    std::vector<const TMXRecord*> mx;
    for (int i = 0; i < result.Count(); ++i)
        if (auto* r = dynamic_cast<const TMXRecord*>(&result[i]))
            mx.push_back(r);
    std::stable_sort(mx.begin(), mx.end(), [](const TMXRecord* a, const TMXRecord* b) {
        return a->Preference < b->Preference;
    });
    if (mx.size() == 1 && (mx[0]->Exchange.empty() || mx[0]->Exchange == ".")) {
        choice.NullMX = true;
        return choice;
    }
    auto add = [&choice](const std::string& host) {
        if (host.empty() || host == ".")
            return;
        for (const std::string& known : choice.Hosts)
            if (SameText(known, host))
                return;
        choice.Hosts.push_back(host);
    };
    for (const TMXRecord* r : mx)
        add(r->Exchange);
    if (mx.empty())
        add(domain);
    return choice;
}
