// TOAuthCodeSignIn: the window's sign-in through the system browser, the
// authorization code grant with PKCE (RFC 6749 4.1, RFC 7636) and a
// loopback redirect on http://127.0.0.1:<port>/ (RFC 8252 7.3). It listens
// on a free port of 127.0.0.1, opens the browser at the service's page
// (xdg-open), takes the redirect that carries its state, answers the
// browser, exchanges the code and keeps the refresh token (TokenStore.h).
// Event-driven on the GUI thread (or quillet-send's); the outcome comes
// through OnDone, once, never from inside Start.
#pragma once

#include "oauth/OAuthAccount.h"

#include <functional>
#include <memory>
#include <string>

class QTcpServer;
class QTcpSocket;
class QTimer;

class TOAuthCodeSignIn {
public:
    explicit TOAuthCodeSignIn(TOAuthAccount account);
    ~TOAuthCodeSignIn();
    TOAuthCodeSignIn(const TOAuthCodeSignIn&) = delete;
    TOAuthCodeSignIn& operator=(const TOAuthCodeSignIn&) = delete;

    // The state in words, as it changes.
    std::function<void(const std::string& text)> OnState;
    // The end: signed in (message says where the sign-in is kept), or why
    // not. The object may be released only after OnDone has returned.
    std::function<void(bool signedIn, const std::string& message)> OnDone;
    // Hands the authorization address to the browser; default xdg-open.
    std::function<void(const std::string& url)> OpenBrowser;
    // How long the user has to finish in the browser (ms).
    int TimeLimitMs = 300000;

    // Raises EOAuthError when the account lacks what a sign-in needs or no
    // port can be had; otherwise the browser opens and the wait begins.
    void Start();
    // Ends a running sign-in; OnDone reports the cancel.
    void Cancel();
    bool Running() const { return FRunning; }
    // The authorization address the browser was sent to.
    const std::string& AuthorizationUrl() const { return FAuthorizationUrl; }

private:
    // The steps, in order.
    void Listen();
    void TakeConnection();
    void ReadRequest(QTcpSocket* socket);
    void Answer(QTcpSocket* socket, const char* status, const std::string& text);
    void ExchangeCode(const std::string& code);
    void Finish(bool signedIn, const std::string& message);

    TOAuthAccount FAccount;
    std::unique_ptr<QTcpServer> FServer;
    std::unique_ptr<QTimer> FTimer;
    std::string FVerifier, FState, FRedirectUri, FAuthorizationUrl;
    bool FRunning = false;
    bool FCancelled = false;
};

// "Signed in as <user>." and where the refresh token is kept.
std::string SignedInText(const std::string& user, bool inKeyring);
