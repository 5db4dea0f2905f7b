// Hands a Simple MAPI message to the desktop's default mail client through
// xdg-email: the argument list built from the records, then xdg-email run
// with that argv (never through a shell) as ClientRun.h describes.
#pragma once

#include "mapi/MapiTypes.h"
#include "mapi/provider/ClientRun.h"

#include <string>
#include <vector>

// What xdg-email gets for a recipient record: "Name <address>" when the
// record names someone besides the address (quoted where the name holds a
// comma or another special), else the address alone (its name when the
// address is absent); a leading "SMTP:" in any letter case is dropped.
std::string XdgEmailAddress(const MapiRecipDesc& recip);

// Checks the message and builds xdg-email's arguments (without argv[0]) into
// args. Returns SUCCESS_SUCCESS, MAPI_E_BAD_RECIPTYPE for an unknown
// recipient class or MAPI_E_ATTACHMENT_NOT_FOUND for a missing file.
MapiULong BuildXdgEmailArgs(const MapiMessage& message, std::vector<std::string>& args);

// Runs "xdg-email args..." from PATH with RunClient: SUCCESS_SUCCESS when
// the client has the mail, MAPI_E_FAILURE when xdg-email cannot start or
// fails (no client, say), MAPI_E_USER_ABORT when hook gave the wait up.
MapiULong RunXdgEmail(const std::vector<std::string>& args, const TWaitHook& hook);
