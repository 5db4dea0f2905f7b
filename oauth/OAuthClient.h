// TOAuthClient: the requests of an OAuth 2.0 client to one service, one
// function per step: the authorization address for the browser (RFC 6749
// 4.1.1 with PKCE, RFC 7636 4.3), the code exchange (4.1.3), a refresh
// (6), and the device authorization with its token polls (RFC 8628 3.1,
// 3.4). It reads the answers; what to do with an error code is the
// caller's. The client secret, when the settings hold one, goes in the
// request body (2.3.1).
#pragma once

#include "oauth/HttpsClient.h"
#include "oauth/OAuthAccount.h"
#include "oauth/TokenResponse.h"

#include <functional>
#include <string>

class TOAuthClient {
public:
    // onWait: as for THttpsClient.
    TOAuthClient(TOAuthAccount account, std::function<void()> onWait);

    std::string AuthorizationUrl(const std::string& redirectUri, const std::string& state,
                                 const std::string& codeChallenge) const;
    TTokenResponse ExchangeCode(const std::string& code, const std::string& codeVerifier,
                                const std::string& redirectUri);
    TTokenResponse Refresh(const std::string& refreshToken);
    // Raises EOAuthError when the service offers no device sign-in or
    // refuses to start one.
    TDeviceAuthorization RequestDeviceCode();
    // The answer as it came: an access token, or Error "authorization_pending",
    // "slow_down", "expired_token", "access_denied", ...
    TTokenResponse PollDeviceToken(const std::string& deviceCode);

    const TOAuthAccount& Account() const { return FAccount; }

private:
    // POSTs to the token address with the client's credentials. Raises
    // EOAuthError when the answer is no JSON object, or a success without
    // an access token.
    TTokenResponse PostTokenRequest(TFormFields fields);
    THttpsResponse Post(const std::string& url, TFormFields fields);

    TOAuthAccount FAccount;
    THttpsClient FHttps;
};

// "<error>" or "<error>: <description>" of a refusal, for a message.
std::string RefusalText(const TTokenResponse& response);
// The host part of an address, for messages.
std::string HostOf(const std::string& url);
