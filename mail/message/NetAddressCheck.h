// Checks of what the user typed before a message is built from it: every
// recipient piece must become exactly the mailbox that was typed, header
// texts must hold no control characters, and the own address must be a
// plain local@domain (it becomes the SMTP envelope sender, RFC 5321 4.1.2).
// The checks raise; they change nothing.
#pragma once

#include "base/NetException.h"

#include <string>

// A recipient, header text or own address that cannot be sent as typed.
class ENetInvalidAddress : public ENetException {
public:
    using ENetException::ENetException;
};

// Refuses a To or Cc text unless every non-blank piece (as
// TNetEMailAddressList::AssignText splits it) is one mailbox with a
// non-empty local part and domain and nothing dropped: raises
// "'<piece>' is not a valid e-mail address." for the first other piece.
// A control character raises CheckHeaderText's message for fieldName.
void CheckRecipientText(const std::string& text, const std::string& fieldName = "recipient list");

// Refuses C0 control characters other than TAB, and DEL: raises
// "The <fieldName> contains a control character."
void CheckHeaderText(const std::string& fieldName, const std::string& text);

// Refuses an own address that is not a plain local@domain (no blanks,
// brackets, quotes or control characters): raises
// "Your e-mail address '<text>' in Options is not a valid e-mail address."
void CheckPlainAddress(const std::string& text);
