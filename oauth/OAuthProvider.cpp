// Built-in sign-in services; see OAuthProvider.h.
#include "oauth/OAuthProvider.h"

#include "base/Text.h"

const char* OAuthProviderText(TOAuthProvider provider) {
    switch (provider) {
    case TOAuthProvider::Microsoft:
        return "Microsoft";
    case TOAuthProvider::Custom:
        return "Custom";
    default:
        return "Google";
    }
}

bool OAuthProviderFromText(const std::string& text, TOAuthProvider& provider) {
    for (TOAuthProvider p :
         {TOAuthProvider::Google, TOAuthProvider::Microsoft, TOAuthProvider::Custom})
        if (SameText(text, OAuthProviderText(p))) {
            provider = p;
            return true;
        }
    return false;
}

TOAuthEndpoints BuiltInEndpoints(TOAuthProvider provider) {
    switch (provider) {
    case TOAuthProvider::Google:
        // Google's device flow takes only a short list of scopes, and the
        // mail scope is not on it: no device endpoint.
        return {"https://accounts.google.com/o/oauth2/v2/auth",
                "https://oauth2.googleapis.com/token", "", "https://mail.google.com/",
                "access_type=offline&prompt=consent"};
    case TOAuthProvider::Microsoft:
        // "common": work or school accounts and personal ones alike.
        return {"https://login.microsoftonline.com/common/oauth2/v2.0/authorize",
                "https://login.microsoftonline.com/common/oauth2/v2.0/token",
                "https://login.microsoftonline.com/common/oauth2/v2.0/devicecode",
                "https://outlook.office.com/SMTP.Send offline_access", ""};
    default:
        return {};
    }
}
