// The provider table; see ProviderTable.h. Figures as each provider's help
// pages give them for mail programs (December 2026).
#include "workflow/ProviderTable.h"

#include "base/Text.h"
#include "base/Translate.h"

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

const std::vector<TKnownProvider>& KnownProviders() {
    using P = TOAuthProvider;
    static const std::vector<TKnownProvider> table = {
        {"Gmail",
         {"gmail.com", "googlemail.com"},
         {".google.com", ".googlemail.com"},
         "smtp.gmail.com",
         465,
         ssImplicitTLS,
         TSmtpAuth::OAuth2,
         P::Google,
         TR_NOOP("ProviderTable", "OAuth 2.0 with your Google client id (or an app password)")},
        {"Outlook.com",
         {"outlook.com", "hotmail.com", "live.com", "msn.com", "hotmail.co.uk", "hotmail.de",
          "hotmail.fr", "outlook.de", "outlook.fr", "live.de"},
         {},
         "smtp-mail.outlook.com",
         587,
         ssStartTLS,
         TSmtpAuth::OAuth2,
         P::Microsoft,
         TR_NOOP("ProviderTable", "OAuth 2.0 with your Microsoft Entra client id")},
        {"Microsoft 365",
         {"onmicrosoft.com"},
         {".mail.protection.outlook.com"},
         "smtp.office365.com",
         587,
         ssStartTLS,
         TSmtpAuth::OAuth2,
         P::Microsoft,
         TR_NOOP("ProviderTable", "OAuth 2.0 with your organisation's Microsoft Entra client id")},
        {"Yahoo",
         {"yahoo.com", "ymail.com", "rocketmail.com", "yahoo.co.uk", "yahoo.de", "yahoo.fr"},
         {".yahoodns.net"},
         "smtp.mail.yahoo.com",
         465,
         ssImplicitTLS,
         TSmtpAuth::Password,
         P::Google,
         TR_NOOP("ProviderTable", "an app password (Yahoo account security page)")},
        {"iCloud",
         {"icloud.com", "me.com", "mac.com"},
         {},
         "smtp.mail.me.com",
         587,
         ssStartTLS,
         TSmtpAuth::Password,
         P::Google,
         TR_NOOP("ProviderTable", "an app-specific password (Apple Account page)")},
        {"Fastmail",
         {"fastmail.com", "fastmail.fm"},
         {".messagingengine.com"},
         "smtp.fastmail.com",
         465,
         ssImplicitTLS,
         TSmtpAuth::Password,
         P::Google,
         TR_NOOP("ProviderTable", "an app password (Fastmail settings, Privacy & Security)")},
        {"GMX",
         {"gmx.net", "gmx.de", "gmx.at", "gmx.ch"},
         {},
         "mail.gmx.net",
         587,
         ssStartTLS,
         TSmtpAuth::Password,
         P::Google,
         TR_NOOP("ProviderTable",
                 "your password, once POP3/IMAP access is switched on in GMX's settings")},
        {"GMX",
         {"gmx.com"},
         {},
         "mail.gmx.com",
         587,
         ssStartTLS,
         TSmtpAuth::Password,
         P::Google,
         TR_NOOP("ProviderTable",
                 "your password, once POP3/IMAP access is switched on in GMX's settings")},
        {"WEB.DE",
         {"web.de"},
         {},
         "smtp.web.de",
         587,
         ssStartTLS,
         TSmtpAuth::Password,
         P::Google,
         TR_NOOP("ProviderTable",
                 "your password, once POP3/IMAP access is switched on in WEB.DE's settings")},
        {"mailbox.org",
         {"mailbox.org"},
         {},
         "smtp.mailbox.org",
         465,
         ssImplicitTLS,
         TSmtpAuth::Password,
         P::Google,
         TR_NOOP("ProviderTable", "your password (or an app password)")},
        {"Proton Mail Bridge",
         {"proton.me", "protonmail.com", "protonmail.ch", "pm.me"},
         {},
         "127.0.0.1",
         1025,
         ssStartTLS,
         TSmtpAuth::Password,
         P::Google,
         TR_NOOP("ProviderTable", "the password Proton Mail Bridge shows (the Bridge must run; "
                                  "trust its certificate once)")},
    };
    return table;
}

const TKnownProvider* ProviderForDomain(const std::string& domain) {
    const std::string d = LowerCase(domain);
    for (const TKnownProvider& p : KnownProviders())
        for (const char* known : p.Domains)
            // onmicrosoft.com stands for every tenant under it.
            if (d == known ||
                (std::string(known) == "onmicrosoft.com" && EndsWith(d, ".onmicrosoft.com")))
                return &p;
    return nullptr;
}

const TKnownProvider* ProviderForMailHost(const std::string& host) {
    std::string h = LowerCase(host);
    if (!h.empty() && h.back() == '.')
        h.pop_back();
    for (const TKnownProvider& p : KnownProviders())
        for (const char* end : p.MailHostEnds)
            if (EndsWith(h, end))
                return &p;
    return nullptr;
}
