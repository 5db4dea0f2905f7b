// The outbox in the window: a greylisted mail queued by Send and delivered
// once in the background (no wait window), "Outbox: N" in the status bar,
// the Outbox window over 10,000 mails (rows read as they show) with Save
// As, Delete and Send Now, one message box per mail given up, and a Send of
// the user's while the outbox sends. Real aiosmtpd and the scripted server.
#include "app/OutboxModel.h"
#include "tests/app/SendWindowFixture.h"
#include "tests/app/WindowTestMain.h"
#include "tests/support/net_Ports.h"
#include "tests/support/smtp_Aiosmtpd.h"
#include "tests/support/smtp_FakeServer.h"
#include "ui_FormOutbox.h"
#include "ui_FormWait.h"
#include "workflow/Outbox.h"
#include "workflow/OutboxEntry.h"

#include <QApplication>
#include <QLabel>
#include <QTableView>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>

namespace {

class OutboxTest : public TSendWindowFixture {
protected:
    std::string OutboxDir() const { return Outbox.empty() ? Dir.File("outbox") : Outbox; }
    // The outbox in memory (/dev/shm) when there is one: a disk takes long
    // to make and remove 10,000 folders.
    void OutboxInMemory() {
        char tmpl[] = "/dev/shm/quillet-outbox-XXXXXX";
        if (!::mkdtemp(tmpl))
            return;
        Outbox = std::string(tmpl) + "/outbox";
        setenv("QUILLET_OUTBOX_DIR", Outbox.c_str(), 1);
    }
    void TearDown() override {
        TSendWindowFixture::TearDown();
        if (!Outbox.empty())
            std::filesystem::remove_all(Outbox.substr(0, Outbox.rfind('/')));
    }
    std::string Outbox;
    static TOutboxEnvelope Envelope(int n, int64_t nextTry, int64_t expires) {
        TOutboxEnvelope e;
        e.Sender = "ann@example.org";
        e.Recipients = {"bob@example.org"};
        e.To = "Bob <bob@example.org>";
        e.Subject = "Note " + std::to_string(n);
        e.Created = e.LastTry = int64_t(std::time(nullptr)) - 60;
        e.Attempts = 1;
        e.NextTry = nextTry;
        e.Expires = expires;
        return e;
    }
    static std::string Text(int n) {
        return "Message-ID: <" + std::to_string(n) + "@test>\r\nSubject: Note " +
               std::to_string(n) + "\r\n\r\nHello\r\n";
    }
    std::string Queue(int n, int64_t nextTry, int64_t expires) const {
        return TOutbox(OutboxDir()).Add(Text(n), Envelope(n, nextTry, expires));
    }
    // Processes events until done() or 60 seconds passed; false then.
    static bool Until(const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }
};

const int64_t Later = int64_t(std::time(nullptr)) + 86400;

} // namespace

TEST_F(OutboxTest, GreylistedMailIsSentAgainInTheBackgroundOnce) {
    TSmtpAiosmtpdOptions o;
    o.Greylist = true;
    TSmtpAiosmtpd server(o);
    ASSERT_GT(server.Port(), 0);
    Settings("SMTP", "127.0.0.1", server.Port());
    TFormMain& m = Make();
    TRetrySchedule quick;
    quick.FirstDelays = {1};
    TFormMainTestAccess::UseRetrySchedule(m, quick);
    RecordTake(50);
    Fill("bob@example.org");
    UiOf(m)->ActionFileSend->trigger();
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_EQ(Texts()[0].rfind("The voice e-mail could not be sent now (4.7.1 Greylisted, please "
                               "try again later:127.0.0.1). It is in the Outbox and will be sent "
                               "again at ",
                               0),
              0u)
        << Texts()[0];
    ASSERT_EQ(TOutbox(OutboxDir()).List().size(), 1u);
    const std::string queued =
        ReadWholeFile(TOutbox(OutboxDir()).MessageFile(TOutbox(OutboxDir()).List()[0]));
    QLabel* label = OutboxLabelOf(m);
    EXPECT_TRUE(Until([&] { return label->isVisibleTo(&m); }));
    EXPECT_EQ(label->text().toStdString(), "Outbox: 1");

    bool waitShown = false;
    EXPECT_TRUE(Until([&] {
        waitShown |= Wait->isVisible();
        return !server.Message(1, 0).empty() && !label->isVisibleTo(&m);
    }));
    EXPECT_FALSE(waitShown) << "the background shows no wait window";
    EXPECT_EQ(server.Message(1), queued);
    EXPECT_EQ(server.Message(2, 300), "") << "delivered once";
    EXPECT_EQ(Texts().size(), 1u) << "nothing more to answer";
}

TEST_F(OutboxTest, OutboxWindowOpensAtOnceAndActsOnTheSelection) {
    // 10,000 mails, written as the outbox writes them but without syncing.
    OutboxInMemory();
    std::filesystem::create_directories(OutboxDir());
    std::vector<std::string> ids;
    for (int n = 0; n < 10000; ++n) {
        char id[32];
        std::snprintf(id, sizeof id, "20260101-000000-%08x", n);
        ids.push_back(id);
        const std::string folder = OutboxDir() + "/" + id;
        ::mkdir(folder.c_str(), 0700);
        TOutboxEnvelope e = Envelope(n, Later, Later);
        e.Size = int64_t(Text(n).size());
        std::ofstream(folder + "/envelope") << FormatEnvelope(e);
        std::ofstream(folder + "/message.eml") << Text(n);
    }
    TSmtpAiosmtpd server(false);
    ASSERT_GT(server.Port(), 0);
    Settings("SMTP", "127.0.0.1", server.Port());
    TFormMain& m = Make();
    m.show();
    UiOf(m)->ActionFileOutbox->trigger();
    TFormOutbox* window = OutboxWindowOf(m);
    ASSERT_TRUE(window && window->isVisible());
    QApplication::processEvents();
    TOutboxModel& model = window->Model();
    EXPECT_EQ(model.rowCount(), 10000);
    EXPECT_LT(model.EnvelopesRead(), 100u) << "only the rows in view are read";
    EXPECT_EQ(model.data(model.index(0, 0), Qt::DisplayRole).toString().toStdString(),
              "Bob <bob@example.org>");
    EXPECT_EQ(model.data(model.index(0, 2), Qt::DisplayRole).toString().toStdString(),
              std::to_string(Text(0).size()) + " bytes");

    QTableView* table = window->ui->TableOutbox;
    table->selectRow(0);
    Dialogs.SaveAnswer = Dir.File("copy.eml");
    window->ui->ButtonSaveAs->click();
    EXPECT_EQ(Dir.Read("copy.eml"), Text(0));

    Dialogs.Answers = {TMsgResult::No, TMsgResult::Yes};
    window->ui->ButtonDelete->click();
    EXPECT_EQ(Texts().back(),
              "Delete the voice e-mail to Bob <bob@example.org> (Note 0) from the Outbox? It "
              "will not be sent.");
    EXPECT_EQ(model.rowCount(), 10000) << "No keeps it";
    window->ui->ButtonDelete->click();
    EXPECT_EQ(model.rowCount(), 9999);
    EXPECT_FALSE(std::filesystem::exists(OutboxDir() + "/" + ids[0]));

    // Send Now sends what is selected, whatever its next try.
    table->selectRow(0);
    window->ui->ButtonSendNow->click();
    EXPECT_TRUE(Until([&] { return model.rowCount() == 9998; }));
    EXPECT_EQ(server.Message(1), Text(1));
    EXPECT_EQ(server.Message(2, 300), "");
    EXPECT_EQ(OutboxLabelOf(m)->text().toStdString(), "Outbox: 9998");
}

// Given up by the window's own pass (expired, the server down) or by
// another process before the window started: one box each, once.
TEST_F(OutboxTest, GivenUpMailsGetOneMessageBoxEach) {
    const int64_t past = int64_t(std::time(nullptr)) - 10;
    const std::string elsewhere = Queue(1, Later, Later);
    {
        std::string problem;
        TOutboxEnvelope e = *TOutbox(OutboxDir()).ReadEnvelope(elsewhere, problem);
        TOutbox(OutboxDir()).Take(elsewhere)->MoveToFailed(e, "5.1.1 no such user:127.0.0.1");
    }
    const std::string expired = Queue(2, past, past);
    Settings("SMTP", "127.0.0.1", ClosedPort());
    TFormMain& m = Make();
    EXPECT_TRUE(Until([&] { return Dialogs.Boxes.size() == 2; }));
    const std::string failed = TOutbox(OutboxDir()).FailedDir();
    EXPECT_EQ(Texts(),
              (std::vector<std::string>{
                  "The voice e-mail to Bob <bob@example.org> (Note 1) could not be delivered "
                  "(5.1.1 no such user:127.0.0.1). It is kept as " +
                      failed + elsewhere + ".eml until you delete it.",
                  "The voice e-mail to Bob <bob@example.org> (Note 2) could not be delivered (Not "
                  "delivered within 2 days; the last try said: Socket Error # 10061 / Connection "
                  "refused.:127.0.0.1). It is kept as " +
                      failed + expired + ".eml until you delete it."}));
    EXPECT_EQ(ReadWholeFile(failed + expired + ".eml"), Text(2));
    int passes = 0;
    SchedulerOf(m).OnChanged = [&] { ++passes; };
    SchedulerOf(m).CheckSoon();
    EXPECT_TRUE(Until([&] { return passes > 0; }));
    EXPECT_EQ(Dialogs.Boxes.size(), 2u) << "each once";
}

// The user's Send while the outbox sends in the background: the background
// stops first, the Send runs after it, and the queued mail stays queued.
TEST_F(OutboxTest, ASendOfTheUsersTakesOverFromTheBackground) {
    TSmtpFakeServer silent({Quiet(30000)});
    Settings("SMTP", "127.0.0.1", silent.Port());
    const std::string waiting = Queue(1, 0, Later);
    TFormMain& m = Make();
    RecordTake(50);
    Fill("bob@example.org");
    bool sent = false, backgroundAtWait = true;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!sent && SchedulerOf(m).Running()) {
            sent = true;
            UiOf(m)->ActionFileSend->trigger(); // inside the background's wait
        } else if (sent && Wait->isVisible()) {
            backgroundAtWait = SchedulerOf(m).Running();
            poll.stop();
            Wait->ui->ButtonCancel->click();
        }
    });
    poll.start(5);
    EXPECT_TRUE(Until([&] { return !Dialogs.Boxes.empty(); }));
    EXPECT_FALSE(backgroundAtWait) << "the background had stopped when the Send began";
    EXPECT_EQ(Texts(), std::vector<std::string>{"Sending cancelled."});
    EXPECT_EQ(TOutbox(OutboxDir()).List(), std::vector<std::string>{waiting});
}

int main(int argc, char** argv) {
    return RunWindowTests(argc, argv, true);
}
