// TAccessTokenSource: the access token of a send. From the token command
// when the settings name one; else from this run's or the keyring's
// refresh token (RFC 6749 6), reused while it has at least a minute left.
// A refresh the service refuses with invalid_grant forgets the sign-in and
// asks the user to sign in again.
#pragma once

#include "oauth/OAuthAccount.h"
#include "oauth/TokenCommand.h"
#include "oauth/TokenStore.h"

#include <functional>
#include <string>

struct TTokenSourceOptions {
    std::string TokenCommand; // empty: the built-in sign-in
    int TokenCommandTimeoutMs = DefaultTokenCommandTimeoutMs;
    TOAuthAccount Account;
};

// How much life a kept access token must have left to be used (s).
constexpr int64_t MinTokenLifeSeconds = 60;

class TAccessTokenSource {
public:
    // onWait: the caller's chance during every wait (events, a cancel).
    TAccessTokenSource(TTokenSourceOptions options, std::function<void()> onWait);

    // A token good for at least a minute. Raises EOAuthError.
    std::string Current();
    // A new token, whatever is kept (the server called the last one invalid).
    std::string Renew();

private:
    std::string Refreshed();
    TTokenKey Key() const;

    TTokenSourceOptions FOptions;
    std::function<void()> FOnWait;
};

// Raises EOAuthError, naming the key, when account cannot be used for a
// sign-in: no client id, no token or authorization address.
void CheckAccount(const TOAuthAccount& account, bool needAuthorizeUrl);
