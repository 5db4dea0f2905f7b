// Options dialog; see FormOptions.h.
#include "app/FormOptions.h"

#include "app/Dialogs.h"
#include "app/ErrorHandler.h"
#include "app/FitTexts.h"
#include "app/InputMonitor.h"
#include "app/Launchers.h"
#include "app/TextCodec.h"
#include "audio/Audio.h"
#include "base/Text.h"
#include "base/Translate.h"
#include "oauth/CodeSignIn.h"
#include "oauth/OAuthError.h"
#include "platform/Clock.h"
#include "ui_FormOptions.h"
#include "workflow/AccountDiscovery.h"
#include "workflow/SendSettings.h"

#include <QRegularExpressionValidator>

namespace {

// A number field of the dialog: digits only while typing; OK checks the
// range.
void TakeDigitsOnly(QLineEdit* edit) {
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,9}"), edit));
}

// A choice shows in the user's language; the settings name it in English,
// which each item keeps as its data.
void KeepEnglishNames(QComboBox* box, std::initializer_list<const char*> names) {
    int index = 0;
    for (const char* name : names)
        box->setItemData(index++, QString(name));
}

void ChooseByName(QComboBox* box, const QString& name) {
    box->setCurrentIndex(std::max(0, box->findData(name)));
}

// On Linux Qt names a list by its current choice and gives its label as a
// relation; the edit field an editable list takes the keyboard in has
// neither, so it carries the label's text as its name.
void NameEditFieldsOfLists(QWidget* window) {
    for (QLabel* label : window->findChildren<QLabel*>()) {
        auto* box = qobject_cast<QComboBox*>(label->buddy());
        if (box && box->lineEdit() && box->lineEdit()->accessibleName().isEmpty())
            box->lineEdit()->setAccessibleName(QString(label->text()).remove('&'));
    }
}

} // namespace

TFormOptions::TFormOptions(QWidget* owner, std::function<void()> loadSettings,
                           TWaveDeviceService* waveService)
    : QDialog(owner), ui(std::make_unique<Ui::TFormOptions>()),
      LoadSettings(std::move(loadSettings)),
      WaveService(waveService ? waveService : &AlsaWaveService()),
      Monitor(std::make_unique<TInputMonitor>(WaveService)) {
    ui->setupUi(this);
    setFixedSize(375, 494);
    KeepEnglishNames(ui->ComboBoxSecurity, {"Auto", "STARTTLS", "SSL/TLS", "None"});
    KeepEnglishNames(ui->ComboBoxAuth, {"Password", "OAuth 2.0"});
    KeepEnglishNames(ui->ComboBoxOAuthProvider, {"Google", "Microsoft", "Custom"});
    // Room for the longer texts of another language; the sign-in button
    // reads "Cancel sign-in" while a sign-in runs.
    for (const QString& text : {tr("Cancel s&ign-in"), tr("Sign &in…")}) {
        ui->ButtonSignIn->setText(text);
        GrowToFitTexts(this);
    }
    NameEditFieldsOfLists(this);
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
    connect(ui->PageControl1, &QTabWidget::currentChanged, this, [this] { UpdateMonitor(); });
    connect(ui->ComboBoxDevice, &QComboBox::currentTextChanged, this, [this] { UpdateMonitor(); });
    MeterTimer.setInterval(50);
    connect(&MeterTimer, &QTimer::timeout, this, [this] { MeterTick(); });
    connect(ui->ComboBoxAuth, &QComboBox::currentIndexChanged, this,
            [this] { ComboBoxAuthChange(); });
    connect(ui->ButtonFindSettings, &QPushButton::clicked, this,
            [this] { ButtonFindSettingsClick(); });
    connect(ui->LabeledEditEmail, &QLineEdit::editingFinished, this,
            [this] { LabeledEditEmailExit(); });
    connect(ui->ButtonSignIn, &QPushButton::clicked, this, [this] { ButtonSignInClick(); });
    // What the user types is theirs: no proposal fills it again.
    for (QLineEdit* edit : {ui->LabeledEditSMTP, ui->LabeledEditPort, ui->LabeledEditUser})
        connect(edit, &QLineEdit::textEdited, this, [this, edit] { FTyped.insert(edit); });
    for (QComboBox* box : {ui->ComboBoxSecurity, ui->ComboBoxAuth, ui->ComboBoxOAuthProvider})
        connect(box, &QComboBox::activated, this, [this, box] { FTyped.insert(box); });
    TakeDigitsOnly(ui->LabeledEditPort);
    TakeDigitsOnly(ui->LabeledEditTimeout);
    ReadSettings();
}

TFormOptions::~TFormOptions() {
    // A sign-in still waiting ends with the dialog, and reports to no one.
    if (FSignIn) {
        FSignIn->OnDone = nullptr;
        FSignIn->OnState = nullptr;
        FSignIn->Cancel();
    }
    MeterTimer.stop();
    Monitor.reset();
}

void TFormOptions::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    UpdateMonitor();
}

void TFormOptions::hideEvent(QHideEvent* event) {
    // A closed dialog keeps no device open.
    MeterTimer.stop();
    Monitor->Stop();
    Listening.clear();
    QDialog::hideEvent(event);
}

void TFormOptions::UpdateMonitor() {
    const std::string device = FromQt(ui->ComboBoxDevice->currentText().trimmed());
    const bool wanted = isVisible() && ui->PageControl1->currentIndex() == 0 && !device.empty();
    if (wanted && device == Listening)
        return;
    MeterTimer.stop();
    Monitor->Stop();
    Listening.clear();
    ui->LevelMeterInput->Reset();
    ui->LabelMeter->clear();
    if (!wanted)
        return;
    Listening = device;
    if (!Monitor->Start(device, 11025)) {
        ui->LabelMeter->setText(
            ToQt(Tr("TFormOptions", "No sound from \"%1\": %2").Arg(device, Monitor->Error())));
        return;
    }
    MeterTimer.start();
}

void TFormOptions::MeterTick() {
    ui->LevelMeterInput->Update(Monitor->TakePeak(), GetTickCount());
}

void TFormOptions::ReadSettings() {
    // The values the program uses: one a typo made unusable shows its
    // default, which OK then writes back.
    const TSettings settings = ::ReadSettings(SettingsFilePath());
    const TSendSettings& s = settings.Send;
    ui->ComboBoxSampleRate->setCurrentText(QString::number(settings.Recording.SampleRate));
    ui->ComboBoxBit->setCurrentText(settings.Recording.SixteenBit ? "16" : "8");
    // The devices ALSA offers now, and the chosen one even when it is not
    // plugged in (it is used again once it is back).
    const std::string device = settings.Recording.Device;
    for (const std::string& name : WaveService->InDeviceNames())
        ui->ComboBoxDevice->addItem(ToQt(name));
    if (ui->ComboBoxDevice->findText(ToQt(device)) < 0)
        ui->ComboBoxDevice->addItem(ToQt(device));
    ui->ComboBoxDevice->setCurrentText(ToQt(device));
    ui->CheckBoxLevel->setChecked(settings.Recording.Level);
    ui->CheckBoxDenoise->setChecked(settings.Recording.Denoise);
    ui->LabeledEditName->setText(ToQt(s.UserName));
    ui->LabeledEditEmail->setText(ToQt(s.UserEmail));
    // A SendType that names no way shows as the own server.
    if (s.SendType == TSendType::Direct) {
        ui->RadioButtonSMTPRelay->setChecked(true);
        RadioButtonSMTPRelayClick();
    } else if (s.SendType == TSendType::Mapi) {
        ui->RadioButtonMAPI->setChecked(true);
        RadioButtonMAPIClick();
    } else {
        ui->RadioButtonSMTP->setChecked(true);
        RadioButtonSMTPClick();
    }
    ui->LabeledEditSMTP->setText(ToQt(s.SmtpServer));
    ui->LabeledEditUser->setText(ToQt(s.SmtpUser));
    ui->LabeledEditPassword->setText(ToQt(s.SmtpPassword));
    ui->LabeledEditPort->setText(QString::number(s.SmtpPort));
    ChooseByName(ui->ComboBoxSecurity, SecurityText(s.SmtpSecurity));
    ui->LabeledEditTimeout->setText(QString::number(s.TimeoutSeconds));
    ui->LabeledEditCAFile->setText(ToQt(s.CAFile));
    ui->ComboBoxAuth->setCurrentIndex(s.Auth == TSmtpAuth::OAuth2 ? 1 : 0);
    ChooseByName(ui->ComboBoxOAuthProvider, OAuthProviderText(s.OAuthProvider));
    ui->LabeledEditClientId->setText(ToQt(s.OAuthClientId));
    FFile = s;
    ComboBoxAuthChange();
}

bool TFormOptions::CheckNumbers() {
    struct TField {
        QLineEdit* Edit;
        int32_t Min, Max;
        const char* Message;
    } fields[] = {
        {ui->LabeledEditPort, 1, 65535, QT_TR_NOOP("Port must be a number from 1 to 65535.")},
        {ui->LabeledEditTimeout, 0, MaxTimeoutSeconds,
         QT_TR_NOOP("Timeout must be a number of seconds from 0 (no limit) to 86400.")},
    };
    for (const TField& f : fields) {
        int32_t value = 0;
        if (TryStrToInt(FromQt(f.Edit->text()), value) && value >= f.Min && value <= f.Max)
            continue;
        ui->PageControl1->setCurrentIndex(1);
        f.Edit->setFocus();
        f.Edit->selectAll();
        Dialogs().MessageBox(this, FromQt(tr(f.Message)), FromQt(windowTitle()), TMsgIcon::Warning,
                             TMsgButtons::Ok);
        return false;
    }
    return true;
}

void TFormOptions::WriteSettings() {
    TSettings settings;
    settings.Recording.SampleRate =
        static_cast<uint16_t>(StrToIntDef(FromQt(ui->ComboBoxSampleRate->currentText()), 11025));
    settings.Recording.SixteenBit = ui->ComboBoxBit->currentText() == "16";
    settings.Recording.Device = FromQt(ui->ComboBoxDevice->currentText().trimmed());
    settings.Recording.Level = ui->CheckBoxLevel->isChecked();
    settings.Recording.Denoise = ui->CheckBoxDenoise->isChecked();
    TSendSettings& s = settings.Send;
    s.UserName = FromQt(ui->LabeledEditName->text());
    s.UserEmail = FromQt(ui->LabeledEditEmail->text());
    s.SendType = ui->RadioButtonSMTPRelay->isChecked() ? TSendType::Direct
                 : ui->RadioButtonMAPI->isChecked()    ? TSendType::Mapi
                                                       : TSendType::Smtp;
    s.SmtpServer = FromQt(ui->LabeledEditSMTP->text());
    s.SmtpUser = FromQt(ui->LabeledEditUser->text());
    s.SmtpPassword = FromQt(ui->LabeledEditPassword->text());
    s.SmtpPort = StrToInt(FromQt(ui->LabeledEditPort->text()));
    s.SmtpSecurity = SmtpSecurityFromText(FromQt(ui->ComboBoxSecurity->currentData().toString()));
    s.TimeoutSeconds = StrToInt(FromQt(ui->LabeledEditTimeout->text()));
    s.CAFile = FromQt(ui->LabeledEditCAFile->text());
    s.Auth = ui->ComboBoxAuth->currentIndex() == 1 ? TSmtpAuth::OAuth2 : TSmtpAuth::Password;
    OAuthProviderFromText(FromQt(ui->ComboBoxOAuthProvider->currentData().toString()),
                          s.OAuthProvider);
    s.OAuthClientId = Trim(FromQt(ui->LabeledEditClientId->text()));
    ::WriteSettings(SettingsFilePath(), settings);
}

void TFormOptions::ButtonOKClick() {
    // A number out of range keeps the dialog open on that field.
    if (!CheckNumbers())
        return;
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
                         ui->ButtonCAFile,    ui->ComboBoxAuth,        ui->LabelAuth};
    for (QWidget* w : fields)
        w->setEnabled(enabled);
    ComboBoxAuthChange();
}

// A password or OAuth 2.0: the fields of the other way are greyed.
void TFormOptions::ComboBoxAuthChange() {
    const bool server = ui->RadioButtonSMTP->isChecked();
    const bool oauth = server && ui->ComboBoxAuth->currentIndex() == 1;
    for (QWidget* w : {(QWidget*)ui->LabeledEditPassword, (QWidget*)ui->LabelPassword})
        w->setEnabled(server && !oauth);
    for (QWidget* w : {(QWidget*)ui->ComboBoxOAuthProvider, (QWidget*)ui->LabelOAuthProvider,
                       (QWidget*)ui->LabeledEditClientId, (QWidget*)ui->LabelClientId,
                       (QWidget*)ui->ButtonSignIn, (QWidget*)ui->LabelSignInState})
        w->setEnabled(oauth || (w == ui->ButtonSignIn && FSignIn && FSignIn->Running()));
}

TSendSettings TFormOptions::AccountSettings() const {
    TSendSettings s = FFile;
    s.UserEmail = FromQt(ui->LabeledEditEmail->text());
    s.SmtpServer = FromQt(ui->LabeledEditSMTP->text());
    s.SmtpUser = FromQt(ui->LabeledEditUser->text());
    s.CAFile = FromQt(ui->LabeledEditCAFile->text());
    OAuthProviderFromText(FromQt(ui->ComboBoxOAuthProvider->currentData().toString()),
                          s.OAuthProvider);
    s.OAuthClientId = Trim(FromQt(ui->LabeledEditClientId->text()));
    return s;
}

void TFormOptions::ButtonFindSettingsClick() {
    FindSettings();
}

void TFormOptions::LabeledEditEmailExit() {
    // Only a fresh account is completed unasked.
    if (ui->RadioButtonSMTP->isChecked() && ui->LabeledEditSMTP->text().isEmpty() &&
        ui->LabeledEditEmail->text().contains('@'))
        FindSettings();
}

void TFormOptions::FindSettings() {
    const std::string address = Trim(FromQt(ui->LabeledEditEmail->text()));
    ui->ButtonFindSettings->setEnabled(false);
    ui->LabelDiscovery->setText(tr("Looking for the settings..."));
    TDiscoveryOptions options;
    options.DnsPort = DnsServerPort();
    const std::optional<TAccountProposal> p = DiscoverAccount(address, options);
    ui->ButtonFindSettings->setEnabled(true);
    if (!p) {
        ui->LabelDiscovery->setText(tr("No settings found for %1.").arg(ToQt(address)));
        return;
    }
    // A field may take the proposal while it holds its default or an
    // earlier proposal; what the user typed or the file held stays.
    auto mayFill = [this](QWidget* w, bool untouched) {
        return !FTyped.count(w) && (FProposed.count(w) || untouched);
    };
    bool kept = false;
    auto fillText = [&](QLineEdit* edit, const std::string& value, const char* untouched) {
        if (mayFill(edit, edit->text() == untouched)) {
            edit->setText(ToQt(value));
            FProposed.insert(edit);
        } else if (FromQt(edit->text()) != value) {
            kept = true;
        }
    };
    auto fillChoice = [&](QComboBox* box, const QString& value, int untouched) {
        if (mayFill(box, box->currentIndex() == untouched)) {
            ChooseByName(box, value);
            FProposed.insert(box);
        } else if (box->currentData().toString() != value) {
            kept = true;
        }
    };
    fillText(ui->LabeledEditSMTP, p->Server, "");
    fillText(ui->LabeledEditPort, std::to_string(p->Port), "25");
    fillChoice(ui->ComboBoxSecurity, SecurityText(p->Security), 0);
    // The service goes with the sign-in: it is proposed when the sign-in is.
    const bool authFree = mayFill(ui->ComboBoxAuth, ui->ComboBoxAuth->currentIndex() == 0);
    fillChoice(ui->ComboBoxAuth, p->Auth == TSmtpAuth::OAuth2 ? "OAuth 2.0" : "Password", 0);
    if (p->Auth == TSmtpAuth::OAuth2)
        fillChoice(ui->ComboBoxOAuthProvider, OAuthProviderText(p->OAuthProvider),
                   authFree ? ui->ComboBoxOAuthProvider->currentIndex() : -1);
    // Providers log in with the whole address.
    fillText(ui->LabeledEditUser, address, "");
    std::string text = p->Source;
    if (!p->SignIn.empty())
        text += Tr("TFormOptions", " Sign in with %1.").Arg(p->SignIn);
    if (kept)
        text += Tr("TFormOptions", " Your own entries were kept.");
    ui->LabelDiscovery->setText(ToQt(text));
}

void TFormOptions::ButtonSignInClick() {
    if (FSignIn && FSignIn->Running()) {
        FSignIn->Cancel();
        return;
    }
    FSignIn = std::make_unique<TOAuthCodeSignIn>(OAuthAccountOf(AccountSettings()));
    FSignIn->OnState = [this](const std::string& text) {
        ui->LabelSignInState->setText(ToQt(text));
    };
    FSignIn->OnDone = [this](bool, const std::string& message) { EndSignIn(message); };
    try {
        FSignIn->Start();
    } catch (const EOAuthError& e) {
        EndSignIn(e.Message);
        return;
    }
    ui->ButtonSignIn->setText(tr("Cancel s&ign-in"));
}

void TFormOptions::EndSignIn(const std::string& message) {
    ui->ButtonSignIn->setText(tr("Sign &in…"));
    ui->LabelSignInState->setText(ToQt(message));
    ui->LabelSignInState->setToolTip(ToQt(message));
    ComboBoxAuthChange();
}

void TFormOptions::ButtonCAFileClick() {
    std::string fileName = FromQt(ui->LabeledEditCAFile->text());
    if (Dialogs().OpenFileName(this, Tr("TFormOptions", "Certificates (*.pem *.crt)|*.pem;*.crt"),
                               fileName))
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
    QString mode = ui->ComboBoxSecurity->currentData().toString();
    if (mode == "SSL/TLS")
        ui->LabeledEditPort->setText("465");
    else if (mode == "STARTTLS")
        ui->LabeledEditPort->setText("587");
    else
        ui->LabeledEditPort->setText("25");
}
