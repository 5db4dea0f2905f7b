// The SMTP password between keyring and settings file; see SmtpPassword.h.
#include "app/SmtpPassword.h"

#include "platform/Keyring.h"

std::string ReadSmtpPassword(const TSettingsFile& ini) {
    std::string password = ini.ReadString("SMTP", "Password", "");
    if (!password.empty())
        return password;
    TKeyring keyring;
    return keyring
        .ReadPassword(ini.ReadString("SMTP", "Server", ""), ini.ReadString("SMTP", "User", ""))
        .value_or("");
}

void WriteSmtpPassword(TSettingsFile& ini, const std::string& server, const std::string& user,
                       const std::string& password) {
    TKeyring keyring;
    bool kept = password.empty() ? keyring.RemovePassword(server, user)
                                 : keyring.StorePassword(server, user, password);
    ini.WriteString("SMTP", "Password", kept ? "" : password);
}
