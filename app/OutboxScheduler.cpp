// Background sending of the outbox; see OutboxScheduler.h.
#include "app/OutboxScheduler.h"

#include "app/ErrorHandler.h"
#include "workflow/SendWorkflow.h"

#include <QFileSystemWatcher>
#include <QNetworkInformation>
#include <algorithm>
#include <ctime>
#include <time.h>

namespace {

// While a send of the user's runs, the pass waits this long and looks again.
constexpr int BusyRetryMs = 2000;
// After a pass that could not finish (cancelled, the outbox unwritable).
constexpr int AfterTroubleMs = 60000;
// Within what a QTimer takes, and more than any retry needs.
constexpr int64_t LongestWaitMs = 86400000;
// A due mail another process is sending is looked at again after this.
constexpr int64_t HeldElsewhereMs = 5000;

} // namespace

TOutboxScheduler::TOutboxScheduler(std::function<TSendWorkflow&()> workflow, std::string outboxDir)
    : Workflow(std::move(workflow)), FOutbox(outboxDir) {
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, [this] { GuardHandler([this] { Pass(); }); });
    // A network that comes back gets the waiting mails at once.
    if (QNetworkInformation::loadDefaultBackend() && QNetworkInformation::instance())
        connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
                [this](QNetworkInformation::Reachability reachability) {
                    if (reachability == QNetworkInformation::Reachability::Online)
                        CheckSoon();
                });
    FWatcher = std::make_unique<QFileSystemWatcher>();
    connect(FWatcher.get(), &QFileSystemWatcher::directoryChanged, this, [this] {
        Watch();
        // A pass ends with a look of its own.
        if (!FRunning)
            CheckSoon(500);
    });
    Watch();
}

TOutboxScheduler::~TOutboxScheduler() = default;

void TOutboxScheduler::Watch() {
    // The folder appears with the first queued mail; until then its parent
    // is watched for it.
    const std::string path = FOutbox.Dir().substr(0, FOutbox.Dir().size() - 1);
    const QString dir = QString::fromStdString(path);
    const QString parent = QString::fromStdString(path.substr(0, path.rfind('/') + 1));
    if (FWatcher->directories().contains(dir))
        return;
    if (FWatcher->addPath(dir))
        FWatcher->removePath(parent);
    else if (!FWatcher->directories().contains(parent))
        FWatcher->addPath(parent);
}

void TOutboxScheduler::CheckSoon(int ms) {
    if (!FTimer.isActive() || FTimer.remainingTime() > ms)
        FTimer.start(ms);
}

void TOutboxScheduler::SendNow(std::vector<std::string> ids) {
    FSendNow.insert(FSendNow.end(), ids.begin(), ids.end());
    if (FRunning)
        StopThen([this] { CheckSoon(); });
    else
        CheckSoon();
}

void TOutboxScheduler::StopThen(std::function<void()> command) {
    if (!FRunning) {
        command();
        return;
    }
    FAfterPass.push_back(std::move(command));
    Workflow().Cancel();
}

void TOutboxScheduler::Recount() {
    const size_t count = FOutbox.List().size();
    if (count != FCount) {
        FCount = count;
        if (OnCount)
            OnCount(count);
    }
}

void TOutboxScheduler::ScheduleAt(int64_t when) {
    if (when == 0)
        return;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const int64_t wait = when * 1000 - (int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000);
    // Due already: held by another process this moment.
    FTimer.start(int(wait <= 0 ? HeldElsewhereMs : std::min(wait, LongestWaitMs)));
}

void TOutboxScheduler::Pass() {
    TSendWorkflow& workflow = Workflow();
    if (FRunning || workflow.Running()) {
        FTimer.start(BusyRetryMs);
        return;
    }
    TOutboxRequest request;
    if (!FSendNow.empty()) {
        request.DueOnly = false;
        request.Ids.swap(FSendNow);
    }
    FRunning = true;
    TOutboxPass pass;
    bool finished = false;
    try {
        pass = workflow.SendQueued(request);
        finished = true;
    } catch (const Exception&) {
        // Cancelled for a command of the user's, or the outbox could not be
        // written; the messages stay queued and the next look comes later.
    }
    FRunning = false;
    std::vector<std::function<void()>> after;
    after.swap(FAfterPass);
    if (finished)
        ScheduleAt(pass.NextTry);
    else
        FTimer.start(after.empty() ? AfterTroubleMs : BusyRetryMs);
    Recount();
    if (OnChanged)
        OnChanged();
    const std::vector<TGivenUpMail> givenUp = FOutbox.TakeUnreported();
    if (!givenUp.empty() && OnGivenUp)
        OnGivenUp(givenUp);
    for (std::function<void()>& command : after)
        QTimer::singleShot(0, this, [command] { GuardHandler(command); });
}
