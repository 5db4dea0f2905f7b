// TFormOutbox: the Outbox window (File > Outbox): the queued voice mails in
// a table, with Send Now, Delete (asked first) and Save As for the ones
// selected. Modeless and kept by the main window; it follows the outbox as
// it changes. The sending itself is the scheduler's. GUI thread.
#pragma once

#include <QDialog>
#include <memory>
#include <vector>

namespace Ui {
class TFormOutbox;
}
class TOutboxModel;
class TOutboxScheduler;

class TFormOutbox : public QDialog {
    Q_OBJECT
public:
    TFormOutbox(QWidget* owner, TOutboxScheduler& scheduler);
    ~TFormOutbox() override;

    // Lists the outbox anew (rows read again as they show).
    void Refresh();
    TOutboxModel& Model() { return *FModel; }

    void ButtonSendNowClick();
    void ButtonDeleteClick();
    void ButtonSaveAsClick();

    std::unique_ptr<Ui::TFormOutbox> ui;

private:
    // The selected rows, top to bottom.
    std::vector<int> SelectedRows() const;
    TOutboxScheduler& Scheduler;
    TOutboxModel* FModel;
};
