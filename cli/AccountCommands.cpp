// --discover and --sign-in; see AccountCommands.h.
#include "cli/AccountCommands.h"

#include "cli/ExitStatus.h"
#include "oauth/AccessTokens.h"
#include "oauth/CodeSignIn.h"
#include "oauth/DeviceSignIn.h"
#include "oauth/OAuthError.h"
#include "workflow/AccountDiscovery.h"
#include "workflow/SendSettings.h"

#include <QEventLoop>
#include <cstdio>

namespace {

void Say(const std::string& text) {
    std::fprintf(stderr, "quillet-send: %s\n", text.c_str());
}

// The browser on this computer: the address printed (xdg-open tried too),
// the redirect awaited on the loopback address.
std::string BrowserSignIn(const TOAuthAccount& account, bool& cancelled,
                          const std::function<void(std::function<void()>)>& onCancel) {
    TOAuthCodeSignIn signIn(account);
    QEventLoop loop;
    bool ok = false;
    std::string message;
    signIn.OnDone = [&](bool signedIn, const std::string& text) {
        ok = signedIn;
        message = text;
        loop.quit();
    };
    const auto open = signIn.OpenBrowser;
    signIn.OpenBrowser = [&open](const std::string& url) {
        std::printf("Open this address in a browser on this computer to sign in:\n%s\n",
                    url.c_str());
        std::fflush(stdout);
        open(url);
    };
    onCancel([&] {
        cancelled = true;
        signIn.Cancel();
    });
    signIn.Start();
    loop.exec();
    onCancel(nullptr);
    if (!ok)
        throw EOAuthError(message);
    return message;
}

} // namespace

int RunDiscover(const TCliOptions& options) {
    TDiscoveryOptions discovery;
    discovery.DnsPort = DnsServerPort();
    const std::optional<TAccountProposal> found = DiscoverAccount(options.Discover, discovery);
    if (!found) {
        Say("No settings found for " + options.Discover + ".");
        return esDelivery;
    }
    std::fputs(ProposalLines(*found).c_str(), stdout);
    Say(found->Source);
    if (!found->SignIn.empty())
        Say("Sign in with " + found->SignIn + ".");
    return esDone;
}

int RunSignIn(const TCliOptions& options,
              const std::function<void(std::function<void()>)>& onCancel) {
    const std::string ini =
        options.SettingsFile.empty() ? SettingsFilePath() : options.SettingsFile;
    const TSettings settings = ReadSettings(ini);
    for (const TSettingsProblem& problem : settings.Problems) {
        Say(problem.Reason + " (" + problem.Where + ")");
        return esSettings;
    }
    const TSendSettings& s = settings.Send;
    if (s.Auth != TSmtpAuth::OAuth2 || !s.TokenCommand.empty()) {
        Say(s.Auth != TSmtpAuth::OAuth2
                ? "--sign-in needs Auth=OAuth2 in section [SMTP] of " + ini + "."
                : "The settings take the token from TokenCommand; there is nothing to sign in "
                  "to.");
        return esSettings;
    }
    const TOAuthAccount account = OAuthAccountOf(s);
    bool cancelled = false;
    try {
        CheckAccount(account, account.Endpoints.DeviceUrl.empty());
    } catch (const EOAuthError& e) {
        Say(e.Message);
        return esSettings;
    }
    try {
        std::string result;
        if (!account.Endpoints.DeviceUrl.empty()) {
            onCancel([&cancelled] { cancelled = true; });
            result = RunDeviceSignIn(
                account,
                [](const TDeviceAuthorization& a) {
                    std::printf("To sign in, open %s in a browser and enter the code %s\n",
                                a.VerificationUri.c_str(), a.UserCode.c_str());
                    std::fflush(stdout);
                },
                [&cancelled] {
                    if (cancelled)
                        throw EOAuthCancelled();
                });
            onCancel(nullptr);
        } else {
            result = BrowserSignIn(account, cancelled, onCancel);
        }
        std::printf("%s\n", result.c_str());
        std::fflush(stdout);
        return esDone;
    } catch (const EOAuthError& e) {
        onCancel(nullptr);
        Say(e.Message);
        return esDelivery;
    }
}
