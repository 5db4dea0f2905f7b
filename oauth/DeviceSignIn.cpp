// Device authorization grant; see DeviceSignIn.h.
#include "oauth/DeviceSignIn.h"

#include "base/Translate.h"
#include "oauth/AccessTokens.h"
#include "oauth/CodeSignIn.h"
#include "oauth/OAuthClient.h"
#include "oauth/OAuthError.h"
#include "oauth/TokenStore.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <exception>

void WaitServing(int ms, const std::function<void()>& onWait) {
    // A coarse timer may fire a little early; a poll before the interval
    // is over is against the rules, so the wait runs to its deadline.
    const QDeadlineTimer until(std::max(ms, 0), Qt::PreciseTimer);
    std::exception_ptr failure;
    while (!until.hasExpired() && !failure) {
        QEventLoop loop;
        QTimer done, tick;
        done.setSingleShot(true);
        done.setTimerType(Qt::PreciseTimer);
        QObject::connect(&done, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            // An exception must not cross Qt's event loop: kept and raised after it.
            try {
                if (onWait)
                    onWait();
            } catch (...) {
                failure = std::current_exception();
                loop.quit();
            }
        });
        done.start(int(std::max<qint64>(until.remainingTime(), 1)));
        tick.start(20);
        loop.exec();
    }
    if (failure)
        std::rethrow_exception(failure);
}

std::string RunDeviceSignIn(const TOAuthAccount& account,
                            const std::function<void(const TDeviceAuthorization&)>& onPrompt,
                            const std::function<void()>& onWait, TDeviceSignInTiming timing) {
    CheckAccount(account, false);
    TOAuthClient client(account, onWait);
    const TDeviceAuthorization code = client.RequestDeviceCode();
    if (onPrompt)
        onPrompt(code);
    // Without a lifetime from the service, the 15 minutes services use.
    const int64_t lifetime = code.ExpiresIn > 0 ? code.ExpiresIn : 900;
    QDeadlineTimer expires(lifetime * timing.SecondMs);
    int64_t interval = std::max<int64_t>(code.Interval, 1);
    for (;;) {
        // A poll sooner than the interval is not allowed (RFC 8628 3.5):
        // when the code runs out first, the wait ends with it.
        const int64_t wait = interval * timing.SecondMs;
        if (expires.remainingTime() < wait) {
            WaitServing(int(std::max<qint64>(expires.remainingTime(), 0)), onWait);
            throw EOAuthError(Tr("OAuth", "The sign-in code ran out before the sign-in was "
                                          "completed; run --sign-in again."));
        }
        WaitServing(int(wait), onWait);
        const TTokenResponse r = client.PollDeviceToken(code.DeviceCode);
        if (r.Error == "authorization_pending")
            continue;
        if (r.Error == "slow_down") {
            interval += 5; // RFC 8628 3.5
            continue;
        }
        if (r.Error == "expired_token")
            throw EOAuthError(Tr("OAuth", "The sign-in code ran out before the sign-in was "
                                          "completed; run --sign-in again."));
        if (r.Error == "access_denied")
            throw EOAuthError(Tr("OAuth", "The sign-in was refused (access_denied)."));
        if (!r.Error.empty())
            throw EOAuthError(Tr("OAuth", "The sign-in server %1 ended the sign-in: %2")
                                  .Arg(HostOf(account.Endpoints.TokenUrl), RefusalText(r)));
        if (r.RefreshToken.empty())
            throw EOAuthError(Tr("OAuth", "The sign-in server %1 gave no refresh token, so "
                                          "Quillet could not sign in again later.")
                                  .Arg(HostOf(account.Endpoints.TokenUrl)));
        const TTokenKey key{account.Endpoints.TokenUrl, account.ClientId, account.User};
        const bool inKeyring = KeepRefreshToken(key, r.RefreshToken) == TTokenKept::Keyring;
        KeepAccessToken(key, r.AccessToken, r.ExpiresIn);
        return SignedInText(account.User, inKeyring);
    }
}
