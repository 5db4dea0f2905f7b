// The settings model both front ends share: where the settings file is,
// one read of every key into typed values, the SMTP password from the file
// or the desktop keyring, and the writes of the options dialog and of a
// trusted certificate. A missing file or key reads as its default; a value
// that cannot be used is reported as a problem and its default used, so a
// typo never stops the rest of the file from being read. Judging whether a
// file is present or a way of sending is usable is left to the caller.
#pragma once

#include "base/Exception.h"
#include "oauth/OAuthAccount.h"
#include "smtp/NetSMTP.h"

#include <cstdint>
#include <string>
#include <vector>

// A write the system refused: "Unable to write to <path>".
class ESettingsWriteError : public Exception {
public:
    using Exception::Exception;
};

// [User] SendType. stNone: a stored text that names no way (compared
// exactly, so "smtp" is one); such a send delivers nothing.
enum class TSendType { Smtp, Direct, Mapi, None };

// "SMTP", "Direct", "MAPI"; stNone has no text of its own.
const char* SendTypeText(TSendType type);
// "Auto", "STARTTLS", "SSL/TLS", "None".
const char* SecurityText(TSmtpSecurity security);

// [SMTP] Auth: how the own server is signed in to.
enum class TSmtpAuth { Password, OAuth2 };
// "Password", "OAuth2".
const char* SmtpAuthText(TSmtpAuth auth);
// The sign-in service a server belongs to when OAuthProvider is not set:
// Microsoft's for its submission servers, else Google's.
TOAuthProvider OAuthProviderForServer(const std::string& server);

// Sections User and SMTP.
struct TSendSettings {
    std::string UserName, UserEmail;
    TSendType SendType = TSendType::Smtp;
    std::string SendTypeValue = "SMTP"; // as stored, for messages about it
    std::string SmtpServer, SmtpUser, SmtpPassword;
    int32_t SmtpPort = 25;
    TSmtpSecurity SmtpSecurity = ssAuto;
    int32_t TimeoutSeconds = 60; // whole-reply and stalled-write limit; 0: none
    std::string CAFile;          // PEM file of CAs trusted besides the system's; empty: none
    // A server certificate the user trusts for PinnedHost although it fails
    // the check: its SHA-256 as "AB:CD:..."; empty: none.
    std::string PinnedHost, PinnedCertificate;
    // A password, or OAuth 2.0: the token from TokenCommand when set, else
    // from the built-in sign-in at OAuthProvider with the user's client id.
    TSmtpAuth Auth = TSmtpAuth::Password;
    std::string TokenCommand;
    TOAuthProvider OAuthProvider = TOAuthProvider::Google;
    std::string OAuthClientId, OAuthClientSecret;
    // OAuthProvider Custom only.
    std::string OAuthAuthorizeUrl, OAuthTokenUrl, OAuthDeviceUrl, OAuthScope;
};

// The sign-in the settings describe: endpoints built in or Custom, the
// client, the login (SMTP user, else the own address), the CA file.
TOAuthAccount OAuthAccountOf(const TSendSettings& settings);

// Section Audio: the recording format, the input device and what is done
// to the voice before it is compressed.
struct TRecordingSettings {
    uint16_t SampleRate = 11025;
    bool SixteenBit = false;        // exactly "16" in BitPerSample
    std::string Device = "default"; // the ALSA capture PCM; empty reads as "default"
    bool Level = true;              // level the voice and trim silence
    bool Denoise = false;           // reduce background noise
};

// A stored value that could not be used; its default stands in for it.
struct TSettingsProblem {
    std::string Key;     // "SampleRate", "Port", "Timeout"
    std::string Reason;  // e.g. "'abc' is not a valid port number"
    std::string Where;   // "key Port in section [SMTP] of <file>"
    std::string Message; // the window's sentence: reason, where, the default used
};

struct TSettings {
    TRecordingSettings Recording;
    TSendSettings Send;
    std::vector<TSettingsProblem> Problems; // in the order of the keys
};

// Limits of the numbers the dialog and the file take.
constexpr int32_t MaxTimeoutSeconds = 86400;

// The settings file: $QUILLET_SETTINGS_FILE when set, else "quillet.ini" in
// UserConfigDir() (beside the program while its directory is writable,
// else $XDG_CONFIG_HOME/quillet/).
std::string SettingsFilePath();

// Reads every key of path, in the order the file's sections list them.
// The password is the file's key when filled, else the keyring's for the
// server and user (see ReadSmtpPassword).
TSettings ReadSettings(const std::string& path);

// Writes the keys the options dialog owns, in its order: Audio SampleRate,
// BitPerSample, Device, Level, Denoise; User Name, Email, SendType; SMTP
// Server, User, Password, Port, Security, Timeout, CAFile, Auth,
// OAuthProvider, OAuthClientId. The keys only the file holds (TokenCommand,
// OAuthClientSecret, the Custom addresses) stay as they are. The password
// goes into the keyring when one takes it, leaving the file's key empty.
// Raises ESettingsWriteError at the first refused write (the keys after it
// are not written), or EProfileValueError for a value with a line break.
void WriteSettings(const std::string& path, const TSettings& settings);

// Stores the pin of a certificate the user trusts for host.
void WritePinnedCertificate(const std::string& path, const std::string& host,
                            const std::string& fingerprint);

// The SMTP password: filePassword when not empty (the program empties the
// key whenever the keyring takes the password, so a filled key was written
// later, or by hand), else the keyring's for server and user, else empty.
std::string ReadSmtpPassword(const std::string& filePassword, const std::string& server,
                             const std::string& user);
