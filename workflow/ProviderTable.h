// The large mail providers and how mail is submitted to each, from their
// own documentation: the server, port and security, and the sign-in they
// require today (OAuth 2.0, or a password: mostly an app password). Found
// by the address's domain, or by the host the domain's mail goes to (a
// company domain at Google or Microsoft 365).
#pragma once

#include "oauth/OAuthProvider.h"
#include "smtp/SmtpOptions.h"
#include "workflow/SendSettings.h"

#include <string>
#include <vector>

struct TKnownProvider {
    const char* Name;
    std::vector<const char*> Domains;      // the address's domain, exactly
    std::vector<const char*> MailHostEnds; // ends of the domain's MX hosts
    const char* Server;
    int32_t Port;
    TSmtpSecurity Security;
    TSmtpAuth Auth;
    TOAuthProvider OAuthProvider; // with Auth OAuth2
    const char* SignIn;           // what the user signs in with, in words
};

const std::vector<TKnownProvider>& KnownProviders();
// The provider of an address domain (any letter case); nullptr when none.
const TKnownProvider* ProviderForDomain(const std::string& domain);
// The provider whose mail hosts end as host does; nullptr when none.
const TKnownProvider* ProviderForMailHost(const std::string& host);
