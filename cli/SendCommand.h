// One quillet-send run after its command line was parsed: reads the
// settings, readies the recording in a private working directory, runs the
// send workflow (or its Save As) and turns every outcome into an exit
// status. The workflow's own texts are passed on unchanged.
#pragma once

#include "cli/Capture.h"
#include "cli/CommandLine.h"
#include "cli/ConsoleReport.h"

#include <string>

class TSendWorkflow;

class TSendCommand {
public:
    // body: the mail text with CR LF line breaks.
    TSendCommand(TCliOptions options, std::string body);

    // Runs to the end; returns a TExitStatus. GUI thread, with a
    // QCoreApplication.
    int Run();
    // Ends a running take or send (a termination signal); Run then
    // returns esDelivery. GUI thread.
    void Cancel();

private:
    int Deliver(TSendWorkflow& workflow);

    TCliOptions Options;
    std::string Body;
    TConsoleReport Report;
    TCapture Capture;
    TSendWorkflow* Workflow = nullptr;
    bool Cancelled = false;
};
