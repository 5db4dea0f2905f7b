// Account settings from an e-mail address alone, as mail programs propose
// them: first the provider table (ProviderTable.h), then the domain's SRV
// records for submission (RFC 6186, RFC 8314 5.1): _submissions._tcp
// (implicit TLS) before _submission._tcp (STARTTLS), the targets in RFC
// 2782 order, and last the provider that handles the domain's mail (MX).
// Lookups go through Quillet's own DNS client to the configured name
// servers; a name server that fails or stays silent means "not found".
#pragma once

#include "smtp/SmtpOptions.h"
#include "workflow/SendSettings.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

struct TAccountProposal {
    std::string Server;
    int32_t Port = 587;
    TSmtpSecurity Security = ssStartTLS;
    TSmtpAuth Auth = TSmtpAuth::Password;
    TOAuthProvider OAuthProvider = TOAuthProvider::Google;
    // Where it came from, in a sentence: "Found in the DNS of example.org."
    std::string Source;
    // What to sign in with, in words; empty when not known.
    std::string SignIn;
};

struct TDiscoveryOptions {
    int32_t DnsPort = 53;
    int32_t DnsTimeoutMs = 5000; // per name server
    // For the SRV order's weighted pick; empty: the system's random source.
    std::function<uint32_t(uint32_t)> Random;
};

// nullopt when the address has no domain or nothing was found. GUI thread
// (the waits give the anti-freeze its chance) or a thread of its own.
std::optional<TAccountProposal> DiscoverAccount(const std::string& address,
                                                const TDiscoveryOptions& options = {});

// The name server port for lookups: $QUILLET_DNS_PORT when set (tests), else 53.
int32_t DnsServerPort();

// The proposal as settings lines ("Server=...", "Port=...", "Security=...",
// "Auth=...", and "OAuthProvider=..." with OAuth2), each ended by "\n".
std::string ProposalLines(const TAccountProposal& proposal);
