// Access tokens of a send; see AccessTokens.h.
#include "oauth/AccessTokens.h"

#include "base/Translate.h"
#include "oauth/OAuthClient.h"
#include "oauth/OAuthError.h"

TAccessTokenSource::TAccessTokenSource(TTokenSourceOptions options, std::function<void()> onWait)
    : FOptions(std::move(options)), FOnWait(std::move(onWait)) {}

TTokenKey TAccessTokenSource::Key() const {
    const TOAuthAccount& a = FOptions.Account;
    return {a.Endpoints.TokenUrl, a.ClientId, a.User};
}

std::string TAccessTokenSource::Current() {
    if (!FOptions.TokenCommand.empty())
        return RunTokenCommand(FOptions.TokenCommand, FOptions.TokenCommandTimeoutMs, FOnWait);
    CheckAccount(FOptions.Account, false);
    if (auto kept = UsableAccessToken(Key(), MinTokenLifeSeconds))
        return *kept;
    return Refreshed();
}

std::string TAccessTokenSource::Renew() {
    if (!FOptions.TokenCommand.empty())
        return RunTokenCommand(FOptions.TokenCommand, FOptions.TokenCommandTimeoutMs, FOnWait);
    return Refreshed();
}

std::string TAccessTokenSource::Refreshed() {
    const TTokenKey key = Key();
    const std::string user = FOptions.Account.User;
    const std::string again =
        Tr("OAuth", " Sign in again: \"Sign in...\" on the Email Account page "
                    "of Options, or quillet-send --sign-in.");
    const std::optional<std::string> refresh = FindRefreshToken(key);
    if (!refresh)
        throw EOAuthError(
            Tr("OAuth", "Quillet is not signed in as %1 at %2.").Arg(user, HostOf(key.TokenUrl)) +
            again);
    TOAuthClient client(FOptions.Account, FOnWait);
    const TTokenResponse r = client.Refresh(*refresh);
    if (r.Error == "invalid_grant") {
        // The grant was withdrawn or ran out: keeping it would only fail again.
        ForgetSignIn(key);
        throw EOAuthError(
            Tr("OAuth", "The sign-in of %1 is no longer valid (%2).").Arg(user, RefusalText(r)) +
            again);
    }
    if (!r.Error.empty())
        throw EOAuthError(Tr("OAuth", "The sign-in server %1 refused a new access token: %2")
                              .Arg(HostOf(key.TokenUrl), RefusalText(r)));
    // A service may hand out a new refresh token with each refresh.
    if (!r.RefreshToken.empty() && r.RefreshToken != *refresh)
        KeepRefreshToken(key, r.RefreshToken);
    KeepAccessToken(key, r.AccessToken, r.ExpiresIn);
    return r.AccessToken;
}

void CheckAccount(const TOAuthAccount& a, bool needAuthorizeUrl) {
    if (a.ClientId.empty())
        throw EOAuthError(Tr("OAuth", "The OAuth 2.0 sign-in needs your own client id "
                                      "(OAuthClientId in section [SMTP]); the help page tells how "
                                      "to get one."));
    if (a.Endpoints.TokenUrl.empty())
        throw EOAuthError(
            Tr("OAuth", "The Custom sign-in service needs OAuthTokenUrl in section [SMTP]."));
    if (needAuthorizeUrl && a.Endpoints.AuthorizeUrl.empty())
        throw EOAuthError(
            Tr("OAuth", "The Custom sign-in service needs OAuthAuthorizeUrl in section [SMTP]."));
}
