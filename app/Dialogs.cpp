// Desktop realisation of TDialogs with QMessageBox and QFileDialog.
#include "app/Dialogs.h"

#include "app/TextCodec.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace {

bool ClosedForExit = false;

class TDesktopDialogs : public TDialogs {
public:
    TMsgResult MessageBox(QWidget* parent, const std::string& text, const std::string& caption,
                          TMsgIcon icon, TMsgButtons buttons) override {
        if (ClosedForExit)
            return buttons == TMsgButtons::YesNo ? TMsgResult::No : TMsgResult::Ok;
        const int answer = MakeMessageBox(parent, text, caption, icon, buttons)->exec();
        if (buttons == TMsgButtons::YesNo)
            return answer == QMessageBox::Yes ? TMsgResult::Yes : TMsgResult::No;
        return TMsgResult::Ok;
    }

    int ExecModal(QDialog* dialog) override {
        return ClosedForExit ? int(QDialog::Rejected) : dialog->exec();
    }

    bool SaveFileName(QWidget* parent, const std::string& filter, const std::string& defaultExt,
                      std::string& fileName) override {
        if (ClosedForExit)
            return false;
        // "Email files (*.eml)|*.eml" -> Qt's "Email files (*.eml)".
        std::string qtFilter = filter.substr(0, filter.find('|'));
        QFileDialog dlg(parent);
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setNameFilter(ToQt(qtFilter));
        dlg.setDefaultSuffix(ToQt(defaultExt));
        if (!fileName.empty())
            dlg.selectFile(ToQt(fileName));
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return false;
        fileName = FromQt(dlg.selectedFiles().first());
        return true;
    }

    bool OpenFileName(QWidget* parent, const std::string& filter, std::string& fileName) override {
        if (ClosedForExit)
            return false;
        // "Certificates (*.pem *.crt)|*.pem;*.crt" -> "Certificates (*.pem *.crt)".
        QFileDialog dlg(parent);
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setFileMode(QFileDialog::ExistingFile);
        dlg.setNameFilter(ToQt(filter.substr(0, filter.find('|'))));
        if (!fileName.empty())
            dlg.selectFile(ToQt(fileName));
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return false;
        fileName = FromQt(dlg.selectedFiles().first());
        return true;
    }
};

TDesktopDialogs DesktopDialogs;
TDialogs* Installed = nullptr;

} // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const std::string& text,
                                            const std::string& caption, TMsgIcon icon,
                                            TMsgButtons buttons) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(ToQt(caption));
    // Texts carry server replies and file names: never read as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(ToQt(text));
    switch (icon) {
    case TMsgIcon::None:
        box->setIcon(QMessageBox::NoIcon);
        break;
    case TMsgIcon::Information:
        box->setIcon(QMessageBox::Information);
        break;
    case TMsgIcon::Warning:
        box->setIcon(QMessageBox::Warning);
        break;
    case TMsgIcon::Error:
        box->setIcon(QMessageBox::Critical);
        break;
    }
    box->setStandardButtons(buttons == TMsgButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                                          : QMessageBox::Ok);
    return box;
}

TDialogs& Dialogs() {
    return Installed ? *Installed : DesktopDialogs;
}

void SetDialogs(TDialogs* dialogs) {
    Installed = dialogs;
}

void CloseDialogsForExit() {
    ClosedForExit = true;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible())
            dialog->reject();
}

bool DialogsClosedForExit() {
    return ClosedForExit;
}

void ShowMessage(QWidget* parent, const std::string& text) {
    Dialogs().MessageBox(parent, text, "Quillet", TMsgIcon::None, TMsgButtons::Ok);
}
