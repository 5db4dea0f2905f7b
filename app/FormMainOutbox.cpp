// The main window's side of the outbox: the scheduler that sends it in the
// background, "Outbox: N" in the status bar, File > Outbox, the message box
// for each voice mail given up, and commands of the user's that put the
// background sending aside. GUI thread.
#include "app/Dialogs.h"
#include "app/FormMain.h"
#include "app/FormOutbox.h"
#include "app/OutboxScheduler.h"
#include "base/Translate.h"
#include "ui_FormMain.h"
#include "workflow/Outbox.h"
#include "workflow/SendWorkflow.h"

#include <QLabel>
#include <QStatusBar>

void TFormMain::CreateOutbox() {
    LabelOutbox = new QLabel(ui->StatusBar1);
    LabelOutbox->setObjectName("LabelOutbox");
    LabelOutbox->hide();
    ui->StatusBar1->addPermanentWidget(LabelOutbox);
    Outbox = std::make_unique<TOutboxScheduler>([this]() -> TSendWorkflow& { return *Workflow; },
                                                Workflow->Options().OutboxDir);
    Outbox->OnCount = [this](size_t count) { ShowOutboxCount(count); };
    Outbox->OnChanged = [this] {
        if (OutboxWindow && OutboxWindow->isVisible())
            OutboxWindow->Refresh();
    };
    Outbox->OnGivenUp = [this](const std::vector<TGivenUpMail>& mails) { ShowGivenUp(mails); };
    Bind(ui->ActionFileOutbox, &TFormMain::ActionFileOutboxExecute);
    // The first look once the window runs: what waits, what was given up
    // while it was closed.
    Outbox->CheckSoon();
}

bool TFormMain::OutboxSending() const {
    return Outbox && Outbox->Running();
}

bool TFormMain::PutOffForOutbox(void (TFormMain::*handler)()) {
    if (!OutboxSending())
        return false;
    Outbox->StopThen([this, handler] { (this->*handler)(); });
    return true;
}

void TFormMain::ShowOutboxCount(size_t count) {
    LabelOutbox->setText(tr("Outbox: %1").arg(count));
    LabelOutbox->setVisible(count > 0);
}

void TFormMain::ShowGivenUp(const std::vector<TGivenUpMail>& mails) {
    for (const TGivenUpMail& mail : mails) {
        Dialogs().MessageBox(
            this,
            mail.MessageFile.empty()
                ? Tr("TFormMain",
                     "The voice e-mail to %1 (%2) was refused by some of its recipients "
                     "(%3). The others will still get it.")
                      .Arg(mail.To, mail.Subject, mail.Reason)
                : Tr("TFormMain",
                     "The voice e-mail to %1 (%2) could not be delivered (%3). It is kept "
                     "as %4 until you delete it.")
                      .Arg(mail.To, mail.Subject, mail.Reason, mail.MessageFile),
            "Quillet", TMsgIcon::Warning, TMsgButtons::Ok);
    }
}

void TFormMain::ActionFileOutboxExecute() {
    if (!OutboxWindow)
        OutboxWindow = new TFormOutbox(this, *Outbox);
    OutboxWindow->Refresh();
    OutboxWindow->show();
    OutboxWindow->raise();
    OutboxWindow->activateWindow();
}
