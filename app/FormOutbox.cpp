// The Outbox window; see FormOutbox.h.
#include "app/FormOutbox.h"

#include "app/Dialogs.h"
#include "app/ErrorHandler.h"
#include "app/OutboxModel.h"
#include "app/OutboxScheduler.h"
#include "base/Translate.h"
#include "mail/message/NetMessage.h"
#include "ui_FormOutbox.h"
#include "workflow/OutboxEntry.h"

#include <QHeaderView>
#include <QItemSelection>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <set>

namespace {

// "the voice e-mail to <To> (<Subject>)"
std::string Naming(const std::optional<TOutboxEnvelope>& e) {
    if (!e)
        return Tr("TFormOutbox", "this voice e-mail");
    return Tr("TFormOutbox", "the voice e-mail to %1 (%2)").Arg(e->To, e->Subject);
}

} // namespace

TFormOutbox::TFormOutbox(QWidget* owner, TOutboxScheduler& scheduler)
    : QDialog(owner), ui(std::make_unique<Ui::TFormOutbox>()), Scheduler(scheduler),
      FModel(new TOutboxModel(scheduler.Outbox().Dir(), this)) {
    ui->setupUi(this);
    ui->TableOutbox->setModel(FModel);
    // Fixed row heights: the view then asks only the rows it shows.
    ui->TableOutbox->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui->TableOutbox->verticalHeader()->hide();
    ui->TableOutbox->horizontalHeader()->setStretchLastSection(true);
    // To, Subject, Size, Attempts, Last reply; Next try takes the rest.
    const int widths[] = {140, 110, 65, 60, 140};
    for (int column = 0; column < 5; ++column)
        ui->TableOutbox->setColumnWidth(column, widths[column]);
    auto bind = [this](QPushButton* button, void (TFormOutbox::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { GuardHandler([&] { (this->*handler)(); }); });
    };
    bind(ui->ButtonSendNow, &TFormOutbox::ButtonSendNowClick);
    bind(ui->ButtonDelete, &TFormOutbox::ButtonDeleteClick);
    bind(ui->ButtonSaveAs, &TFormOutbox::ButtonSaveAsClick);
    connect(ui->ButtonClose, &QPushButton::clicked, this, &QDialog::close);
}

TFormOutbox::~TFormOutbox() = default;

void TFormOutbox::Refresh() {
    // The selection follows the mails, wherever their rows move.
    std::set<std::string> selected;
    for (int row : SelectedRows())
        selected.insert(FModel->IdAt(row));
    FModel->Refresh();
    QItemSelection keep;
    for (int row = 0; row < FModel->rowCount() && !selected.empty(); ++row)
        if (selected.count(FModel->IdAt(row)))
            keep.select(FModel->index(row, 0), FModel->index(row, FModel->columnCount() - 1));
    ui->TableOutbox->selectionModel()->select(keep, QItemSelectionModel::ClearAndSelect);
}

std::vector<int> TFormOutbox::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : ui->TableOutbox->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TFormOutbox::ButtonSendNowClick() {
    std::vector<std::string> ids;
    for (int row : SelectedRows())
        ids.push_back(FModel->IdAt(row));
    // Nothing selected: everything waiting.
    if (ids.empty())
        for (int row = 0; row < FModel->rowCount(); ++row)
            ids.push_back(FModel->IdAt(row));
    if (!ids.empty())
        Scheduler.SendNow(std::move(ids));
}

void TFormOutbox::ButtonDeleteClick() {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty())
        return;
    const std::string question =
        rows.size() == 1
            ? Tr("TFormOutbox", "Delete %1 from the Outbox? It will not be sent.")
                  .Arg(Naming(FModel->EnvelopeAt(rows[0])))
            : Tr("TFormOutbox",
                 "Delete these %1 voice e-mails from the Outbox? They will not be sent.")
                  .Arg(rows.size());
    if (Dialogs().MessageBox(this, question, "Quillet", TMsgIcon::Warning, TMsgButtons::YesNo) !=
        TMsgResult::Yes)
        return;
    size_t busy = 0;
    for (int row : rows) {
        std::string problem;
        if (std::unique_ptr<TOutboxEntry> entry = FModel->Outbox().Take(FModel->IdAt(row)))
            entry->Remove();
        else if (FModel->Outbox().ReadEnvelope(FModel->IdAt(row), problem))
            ++busy; // still there: being sent this moment
    }
    Refresh();
    if (busy > 0)
        ShowMessage(
            this, busy == 1
                      ? Tr("TFormOutbox", "One voice e-mail is being sent right now and was not "
                                          "deleted; try again in a moment if it is still there.")
                      : Tr("TFormOutbox", "%1 voice e-mails are being sent right now and were not "
                                          "deleted; try again in a moment if they are still there.")
                            .Arg(busy));
}

void TFormOutbox::ButtonSaveAsClick() {
    const std::vector<int> rows = SelectedRows();
    if (rows.size() != 1) {
        ShowMessage(this, Tr("TFormOutbox", "Select one voice e-mail to save."));
        return;
    }
    std::string fileName;
    if (!Dialogs().SaveFileName(this, Tr("TFormMain", "Email files (*.eml)|*.eml"), "eml",
                                fileName))
        return;
    // A complete copy or none: written beside the target, then renamed.
    const std::string temporary = TNetMessage::TemporaryFileFor(fileName);
    std::error_code error;
    std::filesystem::copy_file(FModel->Outbox().MessageFile(FModel->IdAt(rows[0])), temporary,
                               std::filesystem::copy_options::overwrite_existing, error);
    if (!error && std::rename(temporary.c_str(), fileName.c_str()) != 0)
        error = std::error_code(errno, std::generic_category());
    if (error) {
        std::remove(temporary.c_str());
        ShowMessage(this, Tr("TFormOutbox", "Cannot save %1: %2").Arg(fileName, error.message()));
    }
}
