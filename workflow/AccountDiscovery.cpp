// Account settings from the address; see AccountDiscovery.h.
#include "workflow/AccountDiscovery.h"

#include "base/Text.h"
#include "base/Translate.h"
#include "dns/NetDNSResolver.h"
#include "dns/SrvOrder.h"
#include "platform/Network.h"
#include "workflow/ProviderTable.h"

#include <cstdlib>

namespace {

TAccountProposal FromTable(const TKnownProvider& p, const std::string& source) {
    return {p.Server,
            p.Port,
            p.Security,
            p.Auth,
            p.OAuthProvider,
            source,
            Tr("ProviderTable", p.SignIn)};
}

// The records of one lookup; empty when the lookup failed in any way.
class TLookup {
public:
    TLookup(const TDiscoveryOptions& options, TQueryRecordTypes type) {
        R.Port = options.DnsPort;
        R.ReceiveTimeout = options.DnsTimeoutMs;
        R.QueryRecords = {type};
        const std::vector<std::string> servers = GetDnsServers();
        if (!servers.empty()) {
            R.Host = servers.front();
            R.FallbackHosts.assign(servers.begin() + 1, servers.end());
        }
    }
    const TQueryResult* Ask(const std::string& name) {
        if (R.Host.empty())
            return nullptr;
        try {
            R.QueryResult.Clear();
            R.ResolveDomain(name);
        } catch (const ENetException&) {
            // No such name, no answer, a broken reply: nothing found here.
            return nullptr;
        }
        return &R.QueryResult;
    }

private:
    TNetDNSResolver R;
};

// The first usable target of service at domain, in RFC 2782 order.
std::optional<TSrvTarget> FirstTarget(const TDiscoveryOptions& options, const std::string& name) {
    TLookup lookup(options, TQueryRecordTypes::qtSRV);
    const TQueryResult* result = lookup.Ask(name);
    if (!result)
        return std::nullopt;
    const std::vector<TSrvTarget> ordered =
        OrderSrvTargets(SrvTargets(*result, name), options.Random);
    if (ordered.empty() || ordered.front().Port == 0)
        return std::nullopt;
    return ordered.front();
}

std::optional<TAccountProposal> FromMailHosts(const TDiscoveryOptions& options,
                                              const std::string& domain) {
    TLookup lookup(options, TQueryRecordTypes::qtMX);
    const TQueryResult* result = lookup.Ask(domain);
    if (!result)
        return std::nullopt;
    for (int i = 0; i < result->Count(); ++i)
        if (const auto* mx = dynamic_cast<const TMXRecord*>(&(*result)[i]))
            if (const TKnownProvider* p = ProviderForMailHost(mx->Exchange))
                return FromTable(
                    *p, Tr("AccountDiscovery", "The mail of %1 goes to %2.").Arg(domain, p->Name));
    return std::nullopt;
}

} // namespace

std::optional<TAccountProposal> DiscoverAccount(const std::string& address,
                                                const TDiscoveryOptions& options) {
    const size_t at = address.rfind('@');
    if (at == std::string::npos || at + 1 >= address.size())
        return std::nullopt;
    std::string domain = LowerCase(Trim(address.substr(at + 1)));
    if (!domain.empty() && domain.back() == '>')
        domain.pop_back();
    if (domain.empty())
        return std::nullopt;
    if (const TKnownProvider* p = ProviderForDomain(domain))
        return FromTable(
            *p, Tr("AccountDiscovery", "Found in Quillet's table of providers (%1).").Arg(p->Name));
    const std::string source = Tr("AccountDiscovery", "Found in the DNS of %1.").Arg(domain);
    // Implicit TLS first, as RFC 8314 recommends.
    if (auto t = FirstTarget(options, "_submissions._tcp." + domain))
        return TAccountProposal{
            t->Host, t->Port, ssImplicitTLS, TSmtpAuth::Password, TOAuthProvider::Google,
            source,  ""};
    if (auto t = FirstTarget(options, "_submission._tcp." + domain))
        return TAccountProposal{
            t->Host, t->Port, ssStartTLS, TSmtpAuth::Password, TOAuthProvider::Google, source, ""};
    return FromMailHosts(options, domain);
}

int32_t DnsServerPort() {
    const char* port = std::getenv("QUILLET_DNS_PORT");
    int32_t value = 0;
    return port && TryStrToInt(port, value) && value > 0 && value < 65536 ? value : 53;
}

std::string ProposalLines(const TAccountProposal& p) {
    std::string lines = "Server=" + p.Server + "\nPort=" + std::to_string(p.Port) +
                        "\nSecurity=" + SecurityText(p.Security) +
                        "\nAuth=" + SmtpAuthText(p.Auth) + "\n";
    if (p.Auth == TSmtpAuth::OAuth2)
        lines += std::string("OAuthProvider=") + OAuthProviderText(p.OAuthProvider) + "\n";
    return lines;
}
