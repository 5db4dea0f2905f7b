// The run of quillet-send; see SendCommand.h.
#include "cli/SendCommand.h"

#include "base/Translate.h"
#include "cli/ExitStatus.h"
#include "cli/SettingsFile.h"
#include "cli/WorkDir.h"
#include "mail/message/NetAddressCheck.h"
#include "mapi/SMapi.h"
#include "platform/Program.h"
#include "workflow/Encoder.h"
#include "workflow/Outbox.h"
#include "workflow/SendSettings.h"
#include "workflow/SendWorkflow.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

TSendCommand::TSendCommand(TCliOptions options, std::string body)
    : Options(std::move(options)), Body(std::move(body)), Report(stderr, ::isatty(2) == 1) {}

void TSendCommand::Cancel() {
    Cancelled = true;
    Capture.Abort();
    if (Workflow)
        Workflow->Cancel();
}

int TSendCommand::Run() {
    const bool saving = !Options.SaveFile.empty();
    const bool recording = Options.WavFile.empty();
    const std::string ini =
        Options.SettingsFile.empty() ? SettingsFilePath() : Options.SettingsFile;
    TSettings settings;
    try {
        settings = ReadCheckedSettings(ini, recording, true, !saving);
    } catch (const Exception& e) {
        Report.Message(e.Message);
        return esSettings;
    }

    try {
        TWorkDir dir;
        TWorkflowOptions files;
        files.RecordingFile = dir.File("Quillet.wav");
        files.EncodedFile = dir.File("Quillet.mp3");
        if (!Options.NoQueue)
            files.OutboxDir = OutboxDirPath();
        TSendWorkflow workflow(files);
        workflow.ApplySettings(settings.Send);
        TVoiceOptions voice;
        voice.Level = settings.Recording.Level && !Options.NoLevel;
        voice.Denoise = settings.Recording.Denoise || Options.Denoise;
        workflow.ApplyVoiceOptions(voice);
        Workflow = &workflow;
        struct TForget {
            TSendWorkflow*& Workflow;
            ~TForget() { Workflow = nullptr; }
        } forget{Workflow};

        if (recording) {
            // --device is the user's word for this run; the settings' device
            // gives way to "default" when it is gone, as in the window.
            TRecordingSettings format = settings.Recording;
            if (!Options.Device.empty())
                format.Device = Options.Device;
            else if (format.Device != "default" && !CaptureDevicePresent(format.Device)) {
                Report.Message(
                    Tr("quillet-send",
                       "the input device \"%1\" is not available; recording from \"default\"")
                        .Arg(format.Device));
                format.Device = "default";
            }
            if (!Capture.Record(files.RecordingFile, Options.RecordSeconds, format)) {
                Report.Message(Tr("quillet-send", "Recording cancelled."));
                return esDelivery;
            }
        } else {
            CopyWavFile(Options.WavFile, files.RecordingFile);
        }
        if (Cancelled) {
            Report.Message(Tr("SendWorkflow", "Sending cancelled."));
            return esDelivery;
        }
        return Deliver(workflow);
    } catch (const ERecordingError& e) {
        Report.Message(e.Message);
        return esRecording;
    } catch (const EFCreateError& e) {
        Report.Message(e.Message);
        return esRecording;
    } catch (const std::exception& e) {
        // Nothing else is expected here; still an orderly end with the reason.
        Report.Message(e.what());
        return esDelivery;
    }
}

int TSendCommand::Deliver(TSendWorkflow& workflow) {
    workflow.OnWaitText = [this](const std::string& text, bool) { Report.WaitText(text); };
    workflow.OnHideWait = [this] { Report.HideWait(); };
    workflow.OnProgress = [this](int64_t done, int64_t total) { Report.Progress(done, total); };
    workflow.OnMessage = [this](const std::string& text) { Report.Message(text); };
    workflow.OnInformation = [this](const std::string& text) { Report.Message(text); };
    const bool saving = !Options.SaveFile.empty();
    const bool mapi = !saving && workflow.Settings().SendType == TSendType::Mapi;
    if (mapi) {
        try {
            LoadMapiLibrary();
        } catch (const Exception& e) {
            // The workflow reports the missing default client in its words.
            Report.Message(e.Message);
        }
    }
    TSendFields fields{Options.To, Options.Cc, Options.Subject, Body};
    int status = esDelivery;
    try {
        if (saving) {
            workflow.SaveAs(fields, Options.SaveFile);
            Report.HideWait();
            std::printf("%s\n", Tr("quillet-send", "Saved %1").Arg(Options.SaveFile).c_str());
            status = esDone;
        } else if (workflow.Send(fields)) {
            Report.HideWait();
            std::printf("%s\n",
                        Tr("FormMain", "Your voice e-mail has successfully sent out!").c_str());
            status = esDone;
        } else if (workflow.Queued()) {
            // The workflow said so, with the time of the next try.
            status = esTempFail;
        }
    } catch (const EEncoderError& e) {
        Report.Message(e.Message);
        status = esRecording;
    } catch (const ENetInvalidAddress& e) {
        // The typed fields passed these checks with the command line; what
        // is left is the name or address in the settings.
        Report.Message(e.Message);
        status = esSettings;
    } catch (const Exception& e) {
        // Cancelled, the DNS server unknown, the .eml file not writable.
        Report.Message(e.Message);
    }
    Report.HideWait();
    std::fflush(stdout);
    if (mapi)
        UnloadMapiLibrary();
    return status;
}
