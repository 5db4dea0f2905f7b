// Options dialog; see FormOptions.h.
#include "app/FormOptions.h"

#include "app/Dialogs.h"
#include "app/ErrorHandler.h"
#include "app/Launchers.h"
#include "app/Settings.h"
#include "app/SmtpPassword.h"
#include "app/TextCodec.h"
#include "ui_FormOptions.h"

TFormOptions::TFormOptions(QWidget* owner, std::function<void()> loadSettings)
    : QDialog(owner), ui(std::make_unique<Ui::TFormOptions>()),
      LoadSettings(std::move(loadSettings)) {
    ui->setupUi(this);
    setFixedSize(375, 376);
    // Typed passwords show as "*".
    ui->LabeledEditPassword->setStyleSheet("lineedit-password-character: 42");
    connect(ui->ButtonOK, &QPushButton::clicked, this, [this] { ButtonOKClick(); });
    connect(ui->ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->ButtonHelp, &QPushButton::clicked, this, [this] { ButtonHelpClick(); });
    connect(ui->RadioButtonSMTP, &QRadioButton::clicked, this, [this] { RadioButtonSMTPClick(); });
    connect(ui->RadioButtonMAPI, &QRadioButton::clicked, this, [this] { RadioButtonMAPIClick(); });
    connect(ui->RadioButtonSMTPRelay, &QRadioButton::clicked, this,
            [this] { RadioButtonSMTPRelayClick(); });
    connect(ui->ComboBoxSecurity, &QComboBox::activated, this,
            [this] { ComboBoxSecurityChange(); });
    connect(ui->ButtonCAFile, &QPushButton::clicked, this, [this] { ButtonCAFileClick(); });
    ReadSettings();
}

TFormOptions::~TFormOptions() = default;

void TFormOptions::ReadSettings() {
    TSettingsFile ini;
    ui->ComboBoxSampleRate->setCurrentText(ToQt(ini.ReadString("Audio", "SampleRate", "11025")));
    ui->ComboBoxBit->setCurrentText(ToQt(ini.ReadString("Audio", "BitPerSample", "8")));
    ui->LabeledEditName->setText(ToQt(ini.ReadString("User", "Name", "")));
    ui->LabeledEditEmail->setText(ToQt(ini.ReadString("User", "Email", "")));
    std::string sendType = ini.ReadString("User", "SendType", "SMTP");
    if (sendType == "Direct") {
        ui->RadioButtonSMTPRelay->setChecked(true);
        RadioButtonSMTPRelayClick();
    } else if (sendType == "MAPI") {
        ui->RadioButtonMAPI->setChecked(true);
        RadioButtonMAPIClick();
    } else if (sendType == "SMTP") {
        ui->RadioButtonSMTP->setChecked(true);
        RadioButtonSMTPClick();
    }
    ui->LabeledEditSMTP->setText(ToQt(ini.ReadString("SMTP", "Server", "")));
    ui->LabeledEditUser->setText(ToQt(ini.ReadString("SMTP", "User", "")));
    ui->LabeledEditPassword->setText(ToQt(ReadSmtpPassword(ini)));
    ui->LabeledEditPort->setText(ToQt(ini.ReadString("SMTP", "Port", "25")));
    int security = ui->ComboBoxSecurity->findText(ToQt(ini.ReadString("SMTP", "Security", "Auto")));
    ui->ComboBoxSecurity->setCurrentIndex(security < 0 ? 0 : security);
    ui->LabeledEditTimeout->setText(ToQt(ini.ReadString("SMTP", "Timeout", "60")));
    ui->LabeledEditCAFile->setText(ToQt(ini.ReadString("SMTP", "CAFile", "")));
}

void TFormOptions::WriteSettings() {
    TSettingsFile ini;
    ini.WriteString("Audio", "SampleRate", FromQt(ui->ComboBoxSampleRate->currentText()));
    ini.WriteString("Audio", "BitPerSample", FromQt(ui->ComboBoxBit->currentText()));
    ini.WriteString("User", "Name", FromQt(ui->LabeledEditName->text()));
    ini.WriteString("User", "Email", FromQt(ui->LabeledEditEmail->text()));
    const char* sendType = ui->RadioButtonSMTPRelay->isChecked() ? "Direct"
                           : ui->RadioButtonMAPI->isChecked()    ? "MAPI"
                                                                 : "SMTP";
    ini.WriteString("User", "SendType", sendType);
    ini.WriteString("SMTP", "Server", FromQt(ui->LabeledEditSMTP->text()));
    ini.WriteString("SMTP", "User", FromQt(ui->LabeledEditUser->text()));
    WriteSmtpPassword(ini, FromQt(ui->LabeledEditSMTP->text()), FromQt(ui->LabeledEditUser->text()),
                      FromQt(ui->LabeledEditPassword->text()));
    ini.WriteString("SMTP", "Port", FromQt(ui->LabeledEditPort->text()));
    ini.WriteString("SMTP", "Security", FromQt(ui->ComboBoxSecurity->currentText()));
    ini.WriteString("SMTP", "Timeout", FromQt(ui->LabeledEditTimeout->text()));
    ini.WriteString("SMTP", "CAFile", FromQt(ui->LabeledEditCAFile->text()));
}

void TFormOptions::ButtonOKClick() {
    // The OK result stands before the work: a failed write is shown by the
    // error handler and the dialog still closes, without a reload.
    setResult(QDialog::Accepted);
    GuardHandler([this] {
        WriteSettings();
        if (LoadSettings)
            LoadSettings();
    });
    done(QDialog::Accepted);
}

void TFormOptions::ButtonHelpClick() {
    ShowHelp();
}

void TFormOptions::SetServerFieldsEnabled(bool enabled) {
    QWidget* fields[] = {ui->LabeledEditSMTP, ui->LabelSMTP,           ui->LabeledEditUser,
                         ui->LabelUser,       ui->LabeledEditPassword, ui->LabelPassword,
                         ui->LabeledEditPort, ui->LabelPort,           ui->ComboBoxSecurity,
                         ui->LabelSecurity,   ui->LabeledEditCAFile,   ui->LabelCAFile,
                         ui->ButtonCAFile};
    for (QWidget* w : fields)
        w->setEnabled(enabled);
}

void TFormOptions::ButtonCAFileClick() {
    std::string fileName = FromQt(ui->LabeledEditCAFile->text());
    if (Dialogs().OpenFileName(this, "Certificates (*.pem *.crt)|*.pem;*.crt", fileName))
        ui->LabeledEditCAFile->setText(ToQt(fileName));
}

void TFormOptions::RadioButtonSMTPClick() {
    SetServerFieldsEnabled(true);
}
void TFormOptions::RadioButtonMAPIClick() {
    SetServerFieldsEnabled(false);
}
void TFormOptions::RadioButtonSMTPRelayClick() {
    SetServerFieldsEnabled(false);
}

// Proposes the usual port of the chosen security while the port is one of
// the well-known three (25, 465, 587): 465 for implicit TLS, 587 for
// STARTTLS submission, 25 otherwise. Any other port is the user's own.
void TFormOptions::ComboBoxSecurityChange() {
    QString port = ui->LabeledEditPort->text();
    if (port != "25" && port != "465" && port != "587")
        return;
    QString mode = ui->ComboBoxSecurity->currentText();
    if (mode == "SSL/TLS")
        ui->LabeledEditPort->setText("465");
    else if (mode == "STARTTLS")
        ui->LabeledEditPort->setText("587");
    else
        ui->LabeledEditPort->setText("25");
}
