// Mail host choice; see MailHosts.h.
#include "workflow/MailHosts.h"

#include "base/Text.h"
#include "dns/NetDNSRecords.h"
#include "net/NetDeliveryException.h"

#include <algorithm>

namespace {

// CNAME chains longer than this are a loop or an attack, not a setup.
constexpr int MaxCnameSteps = 8;

std::string WithoutFinalDot(const std::string& name) {
    return !name.empty() && name.back() == '.' ? name.substr(0, name.size() - 1) : name;
}

bool SameName(const std::string& a, const std::string& b) {
    return SameText(WithoutFinalDot(a), WithoutFinalDot(b));
}

// The name the reply's records belong to: domain, or where the CNAME
// records of the reply lead from it.
std::string OwnerAfterCnames(const TQueryResult& result, const std::string& domain) {
    std::string name = domain;
    for (int step = 0; step < MaxCnameSteps; ++step) {
        const TNAMERecord* next = nullptr;
        for (int i = 0; i < result.Count() && !next; ++i) {
            const auto* r = dynamic_cast<const TNAMERecord*>(&result[i]);
            if (r && result[i].RecordType == TQueryRecordTypes::qtName &&
                SameName(r->OwnerName, name))
                next = r;
        }
        if (!next)
            break;
        name = next->TargetName;
    }
    return name;
}

} // namespace

bool IsHostName(const std::string& nameIn) {
    const std::string name = WithoutFinalDot(nameIn);
    if (name.empty() || name.size() > 253)
        return false;
    size_t label = 0;
    for (char c : name) {
        if (c == '.') {
            if (label == 0)
                return false;
            label = 0;
            continue;
        }
        const bool ok =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        if (!ok || ++label > 63)
            return false;
    }
    return label > 0;
}

TMailHostChoice ChooseMailHosts(const TQueryResult& result, const std::string& domain) {
    TMailHostChoice choice;
    const std::string owner = OwnerAfterCnames(result, domain);
    std::vector<const TMXRecord*> mx;
    for (int i = 0; i < result.Count(); ++i)
        if (auto* r = dynamic_cast<const TMXRecord*>(&result[i]);
            r && SameName(r->OwnerName, owner))
            mx.push_back(r);
    std::stable_sort(mx.begin(), mx.end(), [](const TMXRecord* a, const TMXRecord* b) {
        return a->Preference < b->Preference;
    });
    if (mx.size() == 1 && (mx[0]->Exchange.empty() || mx[0]->Exchange == ".")) {
        choice.NullMX = true;
        return choice;
    }
    auto add = [&choice](const std::string& host) {
        if (!IsHostName(host) || choice.Hosts.size() >= MaxMailHosts)
            return;
        for (const std::string& known : choice.Hosts)
            if (SameName(known, host))
                return;
        choice.Hosts.push_back(WithoutFinalDot(host));
    };
    for (const TMXRecord* r : mx)
        add(r->Exchange);
    if (mx.empty())
        add(domain);
    choice.NoUsableHost = !mx.empty() && choice.Hosts.empty();
    return choice;
}

bool EndsDomain(const Exception& failure) {
    const auto* reply = dynamic_cast<const ENetProtocolReplyError*>(&failure);
    return reply && reply->ReplyErrorCode >= 500 && reply->ReplyErrorCode <= 599;
}
