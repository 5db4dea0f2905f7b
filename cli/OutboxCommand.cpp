// The outbox commands of quillet-send; see OutboxCommand.h.
#include "cli/OutboxCommand.h"

#include "base/Translate.h"
#include "cli/ExitStatus.h"
#include "cli/SettingsFile.h"
#include "workflow/Outbox.h"
#include "workflow/SendWorkflow.h"

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

std::string LocalTime(int64_t when, const char* format) {
    const std::time_t t = static_cast<std::time_t>(when);
    std::tm local{};
    ::localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

} // namespace

std::string OutboxLine(const std::string& id, const TOutboxEnvelope& e) {
    return id + "\t" + LocalTime(e.NextTry, "%Y-%m-%d %H:%M") + "\t" + std::to_string(e.Attempts) +
           "\t" + std::to_string(e.Size) + "\t" + e.To + "\t" + e.Subject + "\t" + e.LastReply;
}

TOutboxCommand::TOutboxCommand(TCliOptions options)
    : Options(std::move(options)), Report(stderr, ::isatty(2) == 1) {}

void TOutboxCommand::Cancel() {
    if (Workflow)
        Workflow->Cancel();
}

int TOutboxCommand::Run() {
    return Options.Flush ? Flush() : List();
}

int TOutboxCommand::List() {
    const TOutbox outbox(OutboxDirPath());
    for (const std::string& id : outbox.List()) {
        std::string problem;
        if (const std::optional<TOutboxEnvelope> e = outbox.ReadEnvelope(id, problem))
            std::printf("%s\n", OutboxLine(id, *e).c_str());
        else
            std::printf("%s\t-\t-\t-\t\t\t(%s)\n", id.c_str(),
                        Tr("quillet-send", "the envelope cannot be read: %1").Arg(problem).c_str());
    }
    return esDone;
}

int TOutboxCommand::Flush() {
    TSettings settings;
    try {
        settings = ReadCheckedSettings(Options.SettingsFile.empty() ? SettingsFilePath()
                                                                    : Options.SettingsFile,
                                       false, false, false);
    } catch (const Exception& e) {
        Report.Message(e.Message);
        return esSettings;
    }
    TWorkflowOptions files;
    files.OutboxDir = OutboxDirPath();
    TSendWorkflow workflow(files);
    workflow.ApplySettings(settings.Send);
    Workflow = &workflow;
    struct TForget {
        TSendWorkflow*& Workflow;
        ~TForget() { Workflow = nullptr; }
    } forget{Workflow};
    TOutboxPass pass;
    try {
        pass = workflow.SendQueued({false, {}});
    } catch (const Exception& e) {
        // Cancelled, or the outbox could not be changed.
        Report.Message(e.Message);
        return esDelivery;
    }
    bool refused = false;
    for (const TOutboxPass::TItem& item : pass.Items) {
        const std::string what = item.Id + " (" + item.To + ")";
        switch (item.Result) {
        case TOutboxPass::Sent:
            std::printf("%s\n", Tr("quillet-send", "Sent %1").Arg(what).c_str());
            break;
        case TOutboxPass::Waiting:
            Report.Message(Tr("quillet-send", "%1 could not be sent now (%2); next try at %3.")
                               .Arg(what, item.Reason, LocalTime(item.NextTry, "%H:%M")));
            break;
        case TOutboxPass::Refused:
            refused = true;
            Report.Message(Tr("quillet-send", "%1 was not delivered (%2).").Arg(what, item.Reason) +
                           (item.File.empty()
                                ? std::string()
                                : Tr("quillet-send", " It is kept as %1.").Arg(item.File)));
            break;
        }
    }
    std::fflush(stdout);
    return refused ? esDelivery : pass.Remaining > 0 ? esTempFail : esDone;
}
