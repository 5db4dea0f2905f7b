// Reads the send settings from the settings file; see SendSettings.h.
#include "workflow/SendSettings.h"

#include "base/Exception.h"
#include "base/Text.h"
#include "platform/Profile.h"

TSendSettings ReadSendSettings(const std::string& iniPath) {
    auto read = [&](const char* section, const char* key, const char* def) {
        return ReadProfileString(iniPath, section, key, def);
    };
    TSendSettings s;
    s.UserName = read("User", "Name", "");
    s.UserEmail = read("User", "Email", "");
    s.SendType = read("User", "SendType", "SMTP");
    s.SmtpServer = read("SMTP", "Server", "");
    s.SmtpUser = read("SMTP", "User", "");
    s.SmtpPassword = read("SMTP", "Password", "");
    // Without these keys a file means port 25 with opportunistic STARTTLS
    // and the usual time limits.
    std::string port = read("SMTP", "Port", "25");
    int32_t portNumber = StrToInt(port);
    if (portNumber < 1 || portNumber > 65535)
        throw EConvertError("'" + port + "' is not a valid port number");
    s.SmtpPort = portNumber;
    s.SmtpSecurity = read("SMTP", "Security", "Auto");
    std::string timeout = read("SMTP", "Timeout", "60");
    int32_t seconds = StrToInt(timeout);
    if (seconds < 0)
        throw EConvertError("'" + timeout + "' is not a valid time-out");
    s.TimeoutSeconds = seconds;
    s.CAFile = read("SMTP", "CAFile", "");
    s.PinnedHost = read("SMTP", "PinnedHost", "");
    s.PinnedCertificate = read("SMTP", "PinnedCertificate", "");
    return s;
}
