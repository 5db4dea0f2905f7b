// quillet-send --flush and --outbox: the queued voice mails tried now
// (whatever their next try; the own server with the settings as they are
// now) or listed one a line, and the exit status that tells a script
// whether the outbox is empty, still waiting or refused something.
#pragma once

#include "cli/CommandLine.h"
#include "cli/ConsoleReport.h"
#include "workflow/OutboxEnvelope.h"

class TSendWorkflow;

class TOutboxCommand {
public:
    explicit TOutboxCommand(TCliOptions options);
    // Returns a TExitStatus. GUI thread, with a QCoreApplication.
    int Run();
    // A termination signal: the message being sent stays queued. GUI thread.
    void Cancel();

private:
    int Flush();
    int List();

    TCliOptions Options;
    TConsoleReport Report;
    TSendWorkflow* Workflow = nullptr;
};

// One line of --outbox, without its line break: id, next try
// ("YYYY-MM-DD HH:MM", local), attempts, size in bytes, To, Subject, last
// reply, separated by tabs.
std::string OutboxLine(const std::string& id, const TOutboxEnvelope& envelope);
