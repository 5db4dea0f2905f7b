// The settings model; see SendSettings.h.
#include "workflow/SendSettings.h"

#include "base/Text.h"
#include "base/Translate.h"
#include "platform/Keyring.h"
#include "platform/Profile.h"
#include "platform/Program.h"

#include <cstdlib>
#include <cstring>

namespace {

// One file's keys read with their defaults; bad numbers become problems.
class TSettingsReader {
public:
    TSettingsReader(const std::string& path, std::vector<TSettingsProblem>& problems)
        : Path(path), Problems(problems) {}

    std::string Text(const char* section, const char* key, const char* def) const {
        return ReadProfileString(Path, section, key, def);
    }

    // An integer in [min, max], else def with a problem. notValid names
    // what the value failed to be ("port number").
    int32_t Number(const char* section, const char* key, int32_t def, int32_t min, int32_t max,
                   const char* notValid) {
        const std::string text = Text(section, key, IntToStr(def).c_str());
        int32_t value = 0;
        if (TryStrToInt(text, value) && value >= min && value <= max)
            return value;
        const std::string reason =
            Tr("SendSettings", "'%1' is not a valid %2").Arg(text, Tr("SendSettings", notValid));
        const std::string where = Where(section, key);
        Problems.push_back({key, reason, where,
                            Tr("SendSettings", "%1 (%2); the default %3 is used instead.")
                                .Arg(reason, where, def)});
        return def;
    }

    // A switch stored as "1" or "0".
    bool Flag(const char* section, const char* key, bool def) {
        const std::string text = Text(section, key, def ? "1" : "0");
        if (text == "1" || text == "0")
            return text == "1";
        const std::string reason = Tr("SendSettings", "'%1' is not 1 or 0").Arg(text);
        const std::string where = Where(section, key);
        Problems.push_back({key, reason, where,
                            Tr("SendSettings", "%1 (%2); the default %3 is used instead.")
                                .Arg(reason, where, def ? "1" : "0")});
        return def;
    }

    // The sample rate keeps the message the window has always shown for it.
    uint16_t SampleRate() {
        const std::string text = Text("Audio", "SampleRate", "11025");
        int32_t value = 0;
        std::string reason;
        if (!TryStrToInt(text, value))
            reason = Tr("Text", "'%1' is not a valid integer value").Arg(text);
        else if (value < 1 || value > 65535)
            reason = Tr("SendSettings", "'%1' is not a valid sample rate").Arg(text);
        else
            return static_cast<uint16_t>(value);
        Problems.push_back({"SampleRate", reason, Where("Audio", "SampleRate"), reason});
        return 11025;
    }

    // A value that names none of the choices: def with a problem.
    void BadChoice(const char* section, const char* key, const std::string& text,
                   const char* choices, const char* def) {
        const std::string reason = Tr("SendSettings", "'%1' is not one of %2").Arg(text, choices);
        const std::string where = Where(section, key);
        Problems.push_back(
            {key, reason, where,
             Tr("SendSettings", "%1 (%2); %3 is used instead.").Arg(reason, where, def)});
    }

private:
    std::string Where(const char* section, const char* key) const {
        return Tr("SendSettings", "key %1 in section [%2] of %3").Arg(key, section, Path);
    }
    const std::string& Path;
    std::vector<TSettingsProblem>& Problems;
};

TSendType SendTypeFromText(const std::string& text) {
    if (text == "SMTP")
        return TSendType::Smtp;
    if (text == "Direct")
        return TSendType::Direct;
    if (text == "MAPI")
        return TSendType::Mapi;
    return TSendType::None;
}

void Write(const std::string& path, const char* section, const char* key,
           const std::string& value) {
    if (!WriteProfileString(path, section, key, value))
        throw ESettingsWriteError(Tr("SendSettings", "Unable to write to %1").Arg(path));
}

} // namespace

const char* SendTypeText(TSendType type) {
    switch (type) {
    case TSendType::Direct:
        return "Direct";
    case TSendType::Mapi:
        return "MAPI";
    default:
        return "SMTP";
    }
}

const char* SecurityText(TSmtpSecurity security) {
    switch (security) {
    case ssStartTLS:
        return "STARTTLS";
    case ssImplicitTLS:
        return "SSL/TLS";
    case ssNone:
        return "None";
    default:
        return "Auto";
    }
}

const char* SmtpAuthText(TSmtpAuth auth) {
    return auth == TSmtpAuth::OAuth2 ? "OAuth2" : "Password";
}

TOAuthProvider OAuthProviderForServer(const std::string& server) {
    const std::string host = LowerCase(server);
    for (const char* microsoft : {"office365.com", "outlook.com"})
        if (host.size() >= strlen(microsoft) &&
            host.compare(host.size() - strlen(microsoft), std::string::npos, microsoft) == 0)
            return TOAuthProvider::Microsoft;
    return TOAuthProvider::Google;
}

TOAuthAccount OAuthAccountOf(const TSendSettings& s) {
    TOAuthAccount a;
    a.Endpoints = s.OAuthProvider == TOAuthProvider::Custom
                      ? TOAuthEndpoints{s.OAuthAuthorizeUrl, s.OAuthTokenUrl, s.OAuthDeviceUrl,
                                        s.OAuthScope, ""}
                      : BuiltInEndpoints(s.OAuthProvider);
    a.ClientId = s.OAuthClientId;
    a.ClientSecret = s.OAuthClientSecret;
    a.User = s.SmtpUser.empty() ? s.UserEmail : s.SmtpUser;
    a.CAFile = s.CAFile;
    return a;
}

std::string SettingsFilePath() {
    // Tests and scripts may aim every reader at another file.
    if (const char* alt = std::getenv("QUILLET_SETTINGS_FILE"); alt && *alt)
        return alt;
    return UserConfigDir() + "quillet.ini";
}

TSettings ReadSettings(const std::string& path) {
    TSettings all;
    TSettingsReader r(path, all.Problems);
    all.Recording.SampleRate = r.SampleRate();
    all.Recording.SixteenBit = r.Text("Audio", "BitPerSample", "8") == "16";
    all.Recording.Device = r.Text("Audio", "Device", "default");
    if (all.Recording.Device.empty())
        all.Recording.Device = "default";
    all.Recording.Level = r.Flag("Audio", "Level", true);
    all.Recording.Denoise = r.Flag("Audio", "Denoise", false);
    TSendSettings& s = all.Send;
    s.UserName = r.Text("User", "Name", "");
    s.UserEmail = r.Text("User", "Email", "");
    s.SendTypeValue = r.Text("User", "SendType", "SMTP");
    s.SendType = SendTypeFromText(s.SendTypeValue);
    s.SmtpServer = r.Text("SMTP", "Server", "");
    s.SmtpUser = r.Text("SMTP", "User", "");
    s.SmtpPassword = ReadSmtpPassword(r.Text("SMTP", "Password", ""), s.SmtpServer, s.SmtpUser);
    // Without these keys a file means port 25 with opportunistic STARTTLS
    // and the usual time limits.
    s.SmtpPort = r.Number("SMTP", "Port", 25, 1, 65535, TR_NOOP("SendSettings", "port number"));
    s.SmtpSecurity = SmtpSecurityFromText(r.Text("SMTP", "Security", "Auto"));
    s.TimeoutSeconds =
        r.Number("SMTP", "Timeout", 60, 0, MaxTimeoutSeconds, TR_NOOP("SendSettings", "time-out"));
    s.CAFile = r.Text("SMTP", "CAFile", "");
    s.PinnedHost = r.Text("SMTP", "PinnedHost", "");
    s.PinnedCertificate = r.Text("SMTP", "PinnedCertificate", "");
    const std::string auth = r.Text("SMTP", "Auth", "Password");
    if (SameText(auth, "OAuth2"))
        s.Auth = TSmtpAuth::OAuth2;
    else if (!SameText(auth, "Password"))
        r.BadChoice("SMTP", "Auth", auth, "Password, OAuth2", "Password");
    s.TokenCommand = r.Text("SMTP", "TokenCommand", "");
    const std::string provider = r.Text("SMTP", "OAuthProvider", "");
    s.OAuthProvider = OAuthProviderForServer(s.SmtpServer);
    if (!provider.empty() && !OAuthProviderFromText(provider, s.OAuthProvider))
        r.BadChoice("SMTP", "OAuthProvider", provider, "Google, Microsoft, Custom",
                    OAuthProviderText(s.OAuthProvider));
    s.OAuthClientId = r.Text("SMTP", "OAuthClientId", "");
    s.OAuthClientSecret = r.Text("SMTP", "OAuthClientSecret", "");
    s.OAuthAuthorizeUrl = r.Text("SMTP", "OAuthAuthorizeUrl", "");
    s.OAuthTokenUrl = r.Text("SMTP", "OAuthTokenUrl", "");
    s.OAuthDeviceUrl = r.Text("SMTP", "OAuthDeviceUrl", "");
    s.OAuthScope = r.Text("SMTP", "OAuthScope", "");
    return all;
}

void WriteSettings(const std::string& path, const TSettings& all) {
    const TSendSettings& s = all.Send;
    Write(path, "Audio", "SampleRate", IntToStr(all.Recording.SampleRate));
    Write(path, "Audio", "BitPerSample", all.Recording.SixteenBit ? "16" : "8");
    Write(path, "Audio", "Device", all.Recording.Device.empty() ? "default" : all.Recording.Device);
    Write(path, "Audio", "Level", all.Recording.Level ? "1" : "0");
    Write(path, "Audio", "Denoise", all.Recording.Denoise ? "1" : "0");
    Write(path, "User", "Name", s.UserName);
    Write(path, "User", "Email", s.UserEmail);
    Write(path, "User", "SendType", SendTypeText(s.SendType));
    Write(path, "SMTP", "Server", s.SmtpServer);
    Write(path, "SMTP", "User", s.SmtpUser);
    // An empty password removes the keyring's; the file keeps the password
    // only when no keyring takes it.
    TKeyring keyring;
    const bool kept = s.SmtpPassword.empty()
                          ? keyring.RemovePassword(s.SmtpServer, s.SmtpUser)
                          : keyring.StorePassword(s.SmtpServer, s.SmtpUser, s.SmtpPassword);
    Write(path, "SMTP", "Password", kept ? "" : s.SmtpPassword);
    Write(path, "SMTP", "Port", IntToStr(s.SmtpPort));
    Write(path, "SMTP", "Security", SecurityText(s.SmtpSecurity));
    Write(path, "SMTP", "Timeout", IntToStr(s.TimeoutSeconds));
    Write(path, "SMTP", "CAFile", s.CAFile);
    Write(path, "SMTP", "Auth", SmtpAuthText(s.Auth));
    Write(path, "SMTP", "OAuthProvider", OAuthProviderText(s.OAuthProvider));
    Write(path, "SMTP", "OAuthClientId", s.OAuthClientId);
}

void WritePinnedCertificate(const std::string& path, const std::string& host,
                            const std::string& fingerprint) {
    Write(path, "SMTP", "PinnedHost", host);
    Write(path, "SMTP", "PinnedCertificate", fingerprint);
}

std::string ReadSmtpPassword(const std::string& filePassword, const std::string& server,
                             const std::string& user) {
    if (!filePassword.empty())
        return filePassword;
    return TKeyring().ReadPassword(server, user).value_or("");
}
