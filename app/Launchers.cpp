// Launchers over platform ShellOpen (xdg-open, detached, result ignored).
#include "app/Launchers.h"

#include "platform/Process.h"
#include "platform/Program.h"

const char* const HomePageUrl = "http://www.quillet.example/";
const char* const SupportMailbox = "support@quillet.example";
const char* const MailAgentText = "Quillet(http://www.quillet.example/)";

std::string HelpFile() {
    return ProgramDir() + "quillet.html";
}

void ShowHelp() {
    ShellOpen(HelpFile());
}

void OpenHomePage() {
    ShellOpen(HomePageUrl);
}

void OpenSupportMail() {
    ShellOpen(std::string("mailto:") + SupportMailbox);
}
