// The three launchers that hand a target to the desktop's "open" verb, and
// the product's fixed addresses. None of them reports a failure.
#pragma once

#include <string>

extern const char* const HomePageUrl;    // "http://www.quillet.example/"
extern const char* const SupportMailbox; // "support@quillet.example"
extern const char* const MailAgentText;  // "Quillet(http://www.quillet.example/)"

// The help page "quillet.html" in the program's directory.
std::string HelpFile();
// Opens HelpFile().
void ShowHelp();
void OpenHomePage();
// "mailto:" + SupportMailbox.
void OpenSupportMail();
