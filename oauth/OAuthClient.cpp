// OAuth 2.0 client requests; see OAuthClient.h.
#include "oauth/OAuthClient.h"

#include "base/Translate.h"
#include "oauth/OAuthError.h"

#include <QUrl>
#include <QUrlQuery>

TOAuthClient::TOAuthClient(TOAuthAccount account, std::function<void()> onWait)
    : FAccount(std::move(account)),
      FHttps(FAccount.CAFile, FAccount.HttpTimeoutMs, std::move(onWait)) {}

std::string TOAuthClient::AuthorizationUrl(const std::string& redirectUri, const std::string& state,
                                           const std::string& codeChallenge) const {
    QUrl url(QString::fromStdString(FAccount.Endpoints.AuthorizeUrl));
    QUrlQuery query(url);
    auto add = [&query](const char* name, const std::string& value) {
        // Encoded here in full: QUrlQuery would leave "+" and "&" ambiguous.
        query.addQueryItem(name, QUrl::toPercentEncoding(QString::fromStdString(value)));
    };
    add("response_type", "code");
    add("client_id", FAccount.ClientId);
    add("redirect_uri", redirectUri);
    add("scope", FAccount.Endpoints.Scope);
    add("state", state);
    add("code_challenge", codeChallenge);
    add("code_challenge_method", "S256");
    if (!FAccount.User.empty())
        add("login_hint", FAccount.User);
    std::string extras = FAccount.Endpoints.AuthorizeExtras;
    url.setQuery(query);
    std::string text = url.toString(QUrl::FullyEncoded).toStdString();
    if (!extras.empty())
        text += (text.find('?') == std::string::npos ? "?" : "&") + extras;
    return text;
}

TTokenResponse TOAuthClient::ExchangeCode(const std::string& code, const std::string& codeVerifier,
                                          const std::string& redirectUri) {
    return PostTokenRequest({{"grant_type", "authorization_code"},
                             {"code", code},
                             {"redirect_uri", redirectUri},
                             {"code_verifier", codeVerifier}});
}

TTokenResponse TOAuthClient::Refresh(const std::string& refreshToken) {
    return PostTokenRequest({{"grant_type", "refresh_token"},
                             {"refresh_token", refreshToken},
                             {"scope", FAccount.Endpoints.Scope}});
}

TDeviceAuthorization TOAuthClient::RequestDeviceCode() {
    const std::string& url = FAccount.Endpoints.DeviceUrl;
    if (url.empty())
        throw EOAuthError(Tr("OAuth", "This sign-in service offers no sign-in by code on another "
                                      "device; sign in through the browser instead."));
    const THttpsResponse r = Post(url, {{"scope", FAccount.Endpoints.Scope}});
    TDeviceAuthorization a;
    TTokenResponse refusal;
    if (r.Status == 200 && ParseDeviceAuthorization(r.Body, a) && !a.DeviceCode.empty() &&
        !a.UserCode.empty() && !a.VerificationUri.empty())
        return a;
    if (ParseTokenResponse(r.Body, refusal) && !refusal.Error.empty())
        throw EOAuthError(Tr("OAuth", "The sign-in server %1 refused to start a sign-in: %2")
                              .Arg(HostOf(url), RefusalText(refusal)));
    throw EOAuthError(Tr("OAuth", "The sign-in server %1 sent no sign-in code (HTTP %2).")
                          .Arg(HostOf(url), r.Status));
}

TTokenResponse TOAuthClient::PollDeviceToken(const std::string& deviceCode) {
    return PostTokenRequest({{"grant_type", "urn:ietf:params:oauth:grant-type:device_code"},
                             {"device_code", deviceCode}});
}

TTokenResponse TOAuthClient::PostTokenRequest(TFormFields fields) {
    const std::string& url = FAccount.Endpoints.TokenUrl;
    const THttpsResponse r = Post(url, std::move(fields));
    TTokenResponse t;
    if (!ParseTokenResponse(r.Body, t))
        throw EOAuthError(
            Tr("OAuth", "The sign-in server %1 sent no answer Quillet can read (HTTP %2).")
                .Arg(HostOf(url), r.Status));
    if (t.Error.empty() && t.AccessToken.empty())
        throw EOAuthError(
            Tr("OAuth", "The sign-in server %1 sent no access token.").Arg(HostOf(url)));
    return t;
}

THttpsResponse TOAuthClient::Post(const std::string& url, TFormFields fields) {
    fields.insert(fields.begin(), {"client_id", FAccount.ClientId});
    if (!FAccount.ClientSecret.empty())
        fields.push_back({"client_secret", FAccount.ClientSecret});
    return FHttps.PostForm(url, fields);
}

std::string RefusalText(const TTokenResponse& response) {
    return response.ErrorDescription.empty() ? response.Error
                                             : response.Error + ": " + response.ErrorDescription;
}

std::string HostOf(const std::string& url) {
    const std::string host = QUrl(QString::fromStdString(url)).host().toStdString();
    return host.empty() ? url : host;
}
