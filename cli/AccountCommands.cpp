// --discover and --sign-in; see AccountCommands.h.
#include "cli/AccountCommands.h"

#include "base/Translate.h"
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
        std::printf(
            "%s\n%s\n",
            Tr("quillet-send", "Open this address in a browser on this computer to sign in:")
                .c_str(),
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
        Say(Tr("quillet-send", "No settings found for %1.").Arg(options.Discover));
        return esDelivery;
    }
    std::fputs(ProposalLines(*found).c_str(), stdout);
    Say(found->Source);
    if (!found->SignIn.empty())
        Say(Tr("quillet-send", "Sign in with %1.").Arg(found->SignIn));
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
                ? Tr("quillet-send", "--sign-in needs Auth=OAuth2 in section [SMTP] of %1.")
                      .Arg(ini)
                : Tr("quillet-send",
                     "The settings take the token from TokenCommand; there is nothing to "
                     "sign in to."));
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
                    std::printf("%s\n", Tr("quillet-send",
                                           "To sign in, open %1 in a browser and enter the code %2")
                                            .Arg(a.VerificationUri, a.UserCode)
                                            .c_str());
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
