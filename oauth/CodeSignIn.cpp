// Sign-in through the browser with a loopback redirect; see CodeSignIn.h.
#include "oauth/CodeSignIn.h"

#include "base/Translate.h"
#include "oauth/AccessTokens.h"
#include "oauth/OAuthClient.h"
#include "oauth/OAuthError.h"
#include "oauth/Pkce.h"
#include "oauth/RedirectRequest.h"
#include "oauth/TokenStore.h"
#include "platform/Process.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

TOAuthCodeSignIn::TOAuthCodeSignIn(TOAuthAccount account)
    : OpenBrowser([](const std::string& url) { ShellOpen(url); }), FAccount(std::move(account)) {}

TOAuthCodeSignIn::~TOAuthCodeSignIn() = default;

void TOAuthCodeSignIn::Start() {
    CheckAccount(FAccount, true);
    FCancelled = false;
    Listen();
    FVerifier = NewCodeVerifier();
    FState = NewState();
    TOAuthClient client(FAccount, nullptr);
    FAuthorizationUrl = client.AuthorizationUrl(FRedirectUri, FState, CodeChallenge(FVerifier));
    FTimer = std::make_unique<QTimer>();
    FTimer->setSingleShot(true);
    QObject::connect(FTimer.get(), &QTimer::timeout, [this] {
        Finish(false, Tr("OAuth", "The sign-in was not completed in the browser in time."));
    });
    FTimer->start(TimeLimitMs);
    FRunning = true;
    if (OnState)
        OnState(Tr("OAuth", "Waiting for the sign-in in the browser..."));
    OpenBrowser(FAuthorizationUrl);
}

void TOAuthCodeSignIn::Listen() {
    FServer = std::make_unique<QTcpServer>();
    // Loopback only: no other machine can reach the redirect (RFC 8252 8.3).
    if (!FServer->listen(QHostAddress::LocalHost, 0))
        throw EOAuthError(Tr("OAuth", "No port on 127.0.0.1 is free for the sign-in: %1")
                              .Arg(FServer->errorString().toStdString()));
    FRedirectUri = "http://127.0.0.1:" + std::to_string(FServer->serverPort()) + "/";
    QObject::connect(FServer.get(), &QTcpServer::newConnection, [this] { TakeConnection(); });
}

void TOAuthCodeSignIn::TakeConnection() {
    while (QTcpSocket* socket = FServer->nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] { ReadRequest(socket); });
    }
}

void TOAuthCodeSignIn::ReadRequest(QTcpSocket* socket) {
    if (!FRunning)
        return;
    // The head is complete at its empty line; a socket that sends more
    // without one is dropped.
    const QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    socket->setProperty("head", head);
    if (!head.contains("\r\n\r\n")) {
        if (head.size() > qsizetype(MaxRedirectHeadBytes))
            socket->abort();
        return;
    }
    TRedirectRequest r;
    if (!ParseRedirectRequest(head.toStdString(), r)) {
        Answer(socket, "400 Bad Request", Tr("OAuth", "This is no request Quillet understands."));
        return;
    }
    // Anything but the redirect of this very sign-in (a favicon, a stale
    // tab, another program guessing) is turned away and the wait goes on.
    if (r.Path != "/" || r.State != FState || (r.Code.empty() && r.Error.empty())) {
        Answer(socket, "404 Not Found", Tr("OAuth", "Nothing here."));
        return;
    }
    if (!r.Error.empty()) {
        Answer(socket, "200 OK",
               Tr("OAuth", "Quillet was not signed in. You may close this page."));
        Finish(false, Tr("OAuth", "The sign-in was refused: %1.")
                          .Arg(r.ErrorDescription.empty() ? r.Error
                                                          : r.Error + ": " + r.ErrorDescription));
        return;
    }
    Answer(socket, "200 OK", Tr("OAuth", "Quillet is signed in. You may close this page."));
    // Not inside the socket's own signal: the exchange waits in an event
    // loop, where the socket may go.
    QMetaObject::invokeMethod(
        FTimer.get(), [this, code = r.Code] { ExchangeCode(code); }, Qt::QueuedConnection);
    FTimer->stop();
}

void TOAuthCodeSignIn::Answer(QTcpSocket* socket, const char* status, const std::string& text) {
    const std::string page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Quillet"
                             "</title></head><body><p>" +
                             text + "</p></body></html>";
    const std::string reply = std::string("HTTP/1.1 ") + status +
                              "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                              std::to_string(page.size()) + "\r\nConnection: close\r\n\r\n" + page;
    socket->write(reply.data(), qint64(reply.size()));
    socket->disconnectFromHost();
}

void TOAuthCodeSignIn::ExchangeCode(const std::string& code) {
    FServer->close(); // one code per sign-in
    FTimer->stop();
    if (OnState)
        OnState(Tr("OAuth", "Getting the tokens..."));
    try {
        TOAuthClient client(FAccount, [this] {
            if (FCancelled)
                throw EOAuthCancelled();
        });
        const TTokenResponse r = client.ExchangeCode(code, FVerifier, FRedirectUri);
        if (!r.Error.empty())
            throw EOAuthError(Tr("OAuth", "The sign-in server %1 refused the code: %2")
                                  .Arg(HostOf(FAccount.Endpoints.TokenUrl), RefusalText(r)));
        if (r.RefreshToken.empty())
            throw EOAuthError(Tr("OAuth", "The sign-in server %1 gave no refresh token, so "
                                          "Quillet could not sign in again later.")
                                  .Arg(HostOf(FAccount.Endpoints.TokenUrl)));
        const TTokenKey key{FAccount.Endpoints.TokenUrl, FAccount.ClientId, FAccount.User};
        const bool inKeyring = KeepRefreshToken(key, r.RefreshToken) == TTokenKept::Keyring;
        KeepAccessToken(key, r.AccessToken, r.ExpiresIn);
        Finish(true, SignedInText(FAccount.User, inKeyring));
    } catch (const EOAuthError& e) {
        Finish(false, e.Message);
    }
}

void TOAuthCodeSignIn::Cancel() {
    FCancelled = true;
    if (FRunning && FServer && FServer->isListening())
        Finish(false, EOAuthCancelled().Message);
}

void TOAuthCodeSignIn::Finish(bool signedIn, const std::string& message) {
    if (!FRunning)
        return;
    FRunning = false;
    if (FTimer)
        FTimer->stop();
    if (FServer)
        FServer->close();
    if (OnDone)
        OnDone(signedIn, message);
}

std::string SignedInText(const std::string& user, bool inKeyring) {
    return Tr("OAuth", "Signed in as %1.").Arg(user) +
           (inKeyring ? Tr("OAuth", " The sign-in is kept in the desktop keyring.")
                      : Tr("OAuth", " No keyring is available: the sign-in lasts only while "
                                    "Quillet runs."));
}
