// One sign-in as the settings describe it: the service's endpoints, the
// user's client id (and secret, for services that want one even from an
// installed program), whose account it is, and how HTTPS is checked.
#pragma once

#include "oauth/OAuthProvider.h"

#include <string>

struct TOAuthAccount {
    TOAuthEndpoints Endpoints;
    std::string ClientId;
    std::string ClientSecret;  // empty: a public client (PKCE only)
    std::string User;          // the login name; a hint to the service, the keyring's key
    std::string CAFile;        // CAs trusted besides the system's for HTTPS; empty: none
    int HttpTimeoutMs = 30000; // one request to its last byte
};
