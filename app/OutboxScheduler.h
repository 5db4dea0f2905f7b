// TOutboxScheduler: sends the outbox's due voice mails in the background
// while the window runs, through the window's send workflow and without a
// wait window: at the earliest next try, at once when the network comes
// back (QNetworkInformation, where the platform has a backend), and soon
// after the outbox folder changes (another process queued or sent one).
// It never runs inside a send of the user's, and yields to one. GUI thread.
#pragma once

#include "workflow/Outbox.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QFileSystemWatcher;
class TSendWorkflow;

class TOutboxScheduler : public QObject {
    Q_OBJECT
public:
    // workflow: the window's (it may be replaced; the function finds the
    // one in use). outboxDir: the workflow's outbox.
    TOutboxScheduler(std::function<TSendWorkflow&()> workflow, std::string outboxDir);
    ~TOutboxScheduler() override;

    const TOutbox& Outbox() const { return FOutbox; }
    // Looks at the outbox after ms (start-up, a send that queued a mail).
    void CheckSoon(int ms = 0);
    // Tries ids now, whatever their next try (Send Now).
    void SendNow(std::vector<std::string> ids);
    // A background pass is sending now.
    bool Running() const { return FRunning; }
    // A command of the user's that needs the workflow: a running pass is
    // asked to stop, and command runs once it has unwound (at once when
    // none runs).
    void StopThen(std::function<void()> command);
    // The queued count as last seen.
    size_t Count() const { return FCount; }

    // The queued count changed.
    std::function<void(size_t count)> OnCount;
    // The outbox changed (a pass ended, another process wrote to it).
    std::function<void()> OnChanged;
    // Messages given up (by this or another process) and not yet shown.
    std::function<void(const std::vector<TGivenUpMail>& mails)> OnGivenUp;

private:
    void Pass();
    void Recount();
    void Watch();
    // The next pass at Unix second when (0: none due; the folder watch and
    // the network still wake it).
    void ScheduleAt(int64_t when);

    std::function<TSendWorkflow&()> Workflow;
    TOutbox FOutbox;
    QTimer FTimer;
    std::unique_ptr<QFileSystemWatcher> FWatcher;
    std::vector<std::string> FSendNow;
    std::vector<std::function<void()>> FAfterPass;
    bool FRunning = false;
    size_t FCount = 0;
};
