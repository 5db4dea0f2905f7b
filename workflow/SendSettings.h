// The send settings as stored in the settings file (sections User and
// SMTP): one read of every key with its default, and the checks of the
// numbers. A missing file or key reads as the default; the file's
// existence and the way of sending are left to the caller to judge.
#pragma once

#include "workflow/SendWorkflow.h"

#include <string>

// Reads [User] Name, Email, SendType and [SMTP] Server, User, Password,
// Port, Security, Timeout from the INI file at iniPath. Raises
// EConvertError: "'<text>' is not a valid integer value" for a port or
// time-out that is no number, "'<text>' is not a valid port number" for a
// port outside 1..65535, "'<text>' is not a valid time-out" below 0.
TSendSettings ReadSendSettings(const std::string& iniPath);
