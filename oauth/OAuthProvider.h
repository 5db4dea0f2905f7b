// The sign-in services Quillet knows by name and their endpoints and mail
// scopes, as their documentation gives them; Custom takes all four from the
// settings. Quillet ships no client id: that is always the user's own.
#pragma once

#include <string>

enum class TOAuthProvider { Google, Microsoft, Custom };

// "Google", "Microsoft", "Custom".
const char* OAuthProviderText(TOAuthProvider provider);
// Any letter case; false for any other text.
bool OAuthProviderFromText(const std::string& text, TOAuthProvider& provider);

struct TOAuthEndpoints {
    std::string AuthorizeUrl; // authorization code grant (RFC 6749 4.1)
    std::string TokenUrl;
    std::string DeviceUrl; // device authorization (RFC 8628); empty: not offered
    std::string Scope;     // space-separated
    // More query parameters of the authorization address ("a=b&c=d"), for
    // a service that hands out refresh tokens only when asked.
    std::string AuthorizeExtras;
};

// Google and Microsoft; Custom gives empty endpoints.
TOAuthEndpoints BuiltInEndpoints(TOAuthProvider provider);
