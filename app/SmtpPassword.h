// Where the SMTP password is kept: in the desktop keyring (platform/
// Keyring.h) for the configured server and user when one is available,
// with an empty "SMTP"/"Password" key in the settings file; otherwise in
// that key, as without a keyring.
#pragma once

#include "app/Settings.h"

#include <string>

// The password for the file's "SMTP"/"Server" and "SMTP"/"User". A
// non-empty Password key in the file wins: the program empties it whenever
// the keyring takes the password, so a filled key was written later (while
// no keyring answered) or by hand. An empty key defers to the keyring.
std::string ReadSmtpPassword(const TSettingsFile& ini);

// Writes "SMTP"/"Password": empty when the keyring took the password (an
// empty password removes the keyring's), the password itself when no
// keyring is available or it refused.
void WriteSmtpPassword(TSettingsFile& ini, const std::string& server, const std::string& user,
                       const std::string& password);
