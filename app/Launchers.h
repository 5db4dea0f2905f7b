// The three launchers that hand a target to the desktop's "open" verb, and
// the product's fixed addresses. None of them reports a failure.
#pragma once

#include <string>

extern const char* const HomePageUrl;    // "http://www.quillet.example/"
extern const char* const SupportMailbox; // "support@quillet.example"
extern const char* const MailAgentText;  // "Quillet(http://www.quillet.example/)"

// The help file "orvhelp.chm" in the program's directory.
void ShowHelp();
void OpenHomePage();
// "mailto:" + SupportMailbox.
void OpenSupportMail();
