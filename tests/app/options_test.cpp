// The options dialog: what it reads, what OK writes and in which order,
// the radio group's enabling rule, Cancel, a refused write, and the
// password kept in a real keyring.
#include "app/FormOptions.h"
#include "platform/Keyring.h"
#include "platform/Profile.h"
#include "tests/app/FitCheck.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/app/WindowTestMain.h"
#include "tests/support/TempDir.h"
#include "tests/support/keyring_GnomeKeyring.h"
#include "tests/support/oauth_Server.h"
#include "tests/support/tls_TestPki.h"
#include "ui_FormOptions.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// One key of the settings file, as the program reads it.
struct TIni {
    std::string Path;
    std::string ReadString(const char* section, const char* key, const char* def) const {
        return ReadProfileString(Path, section, key, def);
    }
};

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("QUILLET_SETTINGS_FILE", Dir.File("quillet.ini").c_str(), 1); }
    std::string Ini() { return Dir.Read("quillet.ini"); }
    TIni File() const { return {Dir.File("quillet.ini")}; }

    TTempDir Dir;
    TScriptedDialogs Dialogs;
};

} // namespace

TEST_F(OptionsTest, OpensOnTheAccountPageWithDefaultsAndWritesEveryKeyInOrder) {
    int reloads = 0;
    TFormOptions dlg(nullptr, [&] { ++reloads; });
    EXPECT_EQ(dlg.windowTitle(), "Options");
    EXPECT_EQ(dlg.ui->PageControl1->currentIndex(), 1);
    EXPECT_EQ(dlg.ui->PageControl1->tabText(0), "&Audio Format");
    EXPECT_EQ(dlg.ui->PageControl1->tabText(1), "&Email Account");
    EXPECT_EQ(dlg.ui->ComboBoxSampleRate->currentText(), "11025");
    EXPECT_EQ(dlg.ui->ComboBoxBit->currentText(), "8");
    EXPECT_TRUE(dlg.ui->RadioButtonSMTP->isChecked());
    EXPECT_EQ(dlg.ui->LabeledEditPassword->echoMode(), QLineEdit::Password);
    dlg.ui->ButtonOK->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(Ini(), "[Audio]\nSampleRate=11025\nBitPerSample=8\nDevice=default\nLevel=1\n"
                     "Denoise=0\n\n[User]\nName=\nEmail=\nSendType=SMTP\n\n"
                     "[SMTP]\nServer=\nUser=\nPassword=\nPort=25\nSecurity=Auto\nTimeout=60\n"
                     "CAFile=\nAuth=Password\nOAuthProvider=Google\nOAuthClientId=\n");
}

TEST_F(OptionsTest, AudioPageListsInputDevicesShowsTheLevelAndWritesTheChoice) {
    // ALSA's file-plugin configuration: "default" and the stereo-only
    // "pipewire" read a fixture of loud noise.
    setenv("ALSA_CONFIG_PATH",
           "/usr/share/alsa/alsa.conf:" QUILLET_TEST_SOURCE_DIR "/tests/support/audio_alsa.conf",
           1);
    std::string noise(400000, '\0');
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919) >> 3);
    Dir.Write("noise.raw", noise);
    setenv("QUILLET_ALSA_INFILE", Dir.File("noise.raw").c_str(), 1);
    // A microphone chosen once and unplugged since stays listed.
    Dir.Write("quillet.ini", "[Audio]\nDevice=plughw:CARD=Gone,DEV=0\nDenoise=1\n");
    TFormOptions dlg(nullptr, nullptr);
    QStringList items;
    for (int i = 0; i < dlg.ui->ComboBoxDevice->count(); ++i)
        items << dlg.ui->ComboBoxDevice->itemText(i);
    EXPECT_EQ(items.value(0), "default");
    EXPECT_TRUE(items.contains("pipewire"));
    EXPECT_EQ(dlg.ui->ComboBoxDevice->currentText(), "plughw:CARD=Gone,DEV=0");
    EXPECT_TRUE(dlg.ui->CheckBoxLevel->isChecked());
    EXPECT_TRUE(dlg.ui->CheckBoxDenoise->isChecked());

    dlg.ui->PageControl1->setCurrentIndex(0);
    dlg.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg.ui->LabelMeter->text().isEmpty(); }, 5000));
    EXPECT_TRUE(dlg.ui->LabelMeter->text().startsWith("No sound from \"plughw:CARD=Gone,DEV=0\""))
        << dlg.ui->LabelMeter->text().toStdString();
    dlg.ui->ComboBoxDevice->setCurrentText("pipewire");
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return dlg.ui->LevelMeterInput->Peaks().Level() > -20; }, 5000))
        << "the stereo-only device's level shows while the page is open";
    EXPECT_EQ(dlg.ui->LabelMeter->text(), "");
    dlg.ui->PageControl1->setCurrentIndex(1);
    EXPECT_EQ(dlg.ui->LevelMeterInput->Peaks().Level(), -60) << "another page: no listening";

    dlg.ui->CheckBoxLevel->setChecked(false);
    dlg.ui->ButtonOK->click();
    EXPECT_EQ(File().ReadString("Audio", "Device", ""), "pipewire");
    EXPECT_EQ(File().ReadString("Audio", "Level", ""), "0");
    EXPECT_EQ(File().ReadString("Audio", "Denoise", ""), "1");
}

TEST_F(OptionsTest, CAFileIsPickedThroughTheBrowseButtonAndKeptOnCancel) {
    Dir.Write("quillet.ini", "[SMTP]\nCAFile=/etc/old.pem\n");
    TFormOptions dlg(nullptr, nullptr);
    EXPECT_EQ(dlg.ui->LabeledEditCAFile->text(), "/etc/old.pem");
    dlg.ui->ButtonCAFile->click(); // cancelled: the field stays
    EXPECT_EQ(dlg.ui->LabeledEditCAFile->text(), "/etc/old.pem");
    EXPECT_EQ(Dialogs.OpenFilter, "Certificates (*.pem *.crt)|*.pem;*.crt");
    Dialogs.OpenAnswer = "/home/ann/company-ca.pem";
    dlg.ui->ButtonCAFile->click();
    dlg.ui->ButtonOK->click();
    EXPECT_EQ(File().ReadString("SMTP", "CAFile", ""), "/home/ann/company-ca.pem");
}

// Values the program cannot use show as the ones it uses instead, and OK
// writes those back.
TEST_F(OptionsTest, UnusableValuesShowTheirDefaultsAndOkMendsThem) {
    Dir.Write("quillet.ini", "[User]\nSendType=smtp\n[Audio]\nSampleRate=fast\nBitPerSample=16\n"
                             "[SMTP]\nPort=abc\nTimeout=-5\n");
    TFormOptions dlg(nullptr, nullptr);
    EXPECT_TRUE(dlg.ui->RadioButtonSMTP->isChecked());
    EXPECT_TRUE(dlg.ui->LabeledEditSMTP->isEnabled());
    EXPECT_EQ(dlg.ui->ComboBoxSampleRate->currentText(), "11025");
    EXPECT_EQ(dlg.ui->LabeledEditPort->text(), "25");
    EXPECT_EQ(dlg.ui->LabeledEditTimeout->text(), "60");
    dlg.ui->ButtonOK->click();
    TIni ini = File();
    EXPECT_EQ(ini.ReadString("User", "SendType", ""), "SMTP");
    EXPECT_EQ(ini.ReadString("Audio", "SampleRate", ""), "11025");
    EXPECT_EQ(ini.ReadString("Audio", "BitPerSample", ""), "16");
    EXPECT_EQ(ini.ReadString("SMTP", "Port", ""), "25");
    EXPECT_EQ(ini.ReadString("SMTP", "Timeout", ""), "60");
}

// Port and Timeout take digits only; OK refuses a number out of range with
// a message naming the field, keeps the dialog open and writes nothing.
TEST_F(OptionsTest, PortAndTimeoutTakeDigitsOnlyAndOkRefusesOutOfRange) {
    Dir.Write("quillet.ini", "[User]\nName=Ann\n");
    TFormOptions dlg(nullptr, nullptr);
    dlg.ui->LabeledEditPort->clear();
    QTest::keyClicks(dlg.ui->LabeledEditPort, "5a8-7");
    EXPECT_EQ(dlg.ui->LabeledEditPort->text(), "587") << "letters and signs are not taken";
    struct TCase {
        const char *Port, *Timeout, *Shown;
    } cases[] = {
        {"0", "60", "Port must be a number from 1 to 65535."},
        {"65536", "60", "Port must be a number from 1 to 65535."},
        {"", "60", "Port must be a number from 1 to 65535."},
        {"587", "86401", "Timeout must be a number of seconds from 0 (no limit) to 86400."},
        {"587", "", "Timeout must be a number of seconds from 0 (no limit) to 86400."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Port) + "/" + c.Timeout);
        Dialogs.Boxes.clear();
        dlg.ui->LabeledEditPort->setText(c.Port);
        dlg.ui->LabeledEditTimeout->setText(c.Timeout);
        dlg.ui->ButtonOK->click();
        ASSERT_EQ(Dialogs.Boxes.size(), 1u);
        EXPECT_EQ(Dialogs.Boxes[0].Text, c.Shown);
        EXPECT_EQ(dlg.result(), 0) << "the dialog stays open";
        EXPECT_EQ(Ini(), "[User]\nName=Ann\n") << "nothing written";
    }
    dlg.ui->LabeledEditTimeout->setText("0");
    dlg.ui->ButtonOK->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(File().ReadString("SMTP", "Port", ""), "587");
    EXPECT_EQ(File().ReadString("SMTP", "Timeout", ""), "0");
}

TEST_F(OptionsTest, RelayAndMapiGreyTheServerFieldsButKeepAndWriteTheirText) {
    Dir.Write("quillet.ini",
              "[User]\nSendType=Direct\n[SMTP]\nServer=mail.example.org\nUser=ann\nPassword=pw\n");
    TFormOptions dlg(nullptr, nullptr);
    EXPECT_TRUE(dlg.ui->RadioButtonSMTPRelay->isChecked());
    EXPECT_FALSE(dlg.ui->LabeledEditSMTP->isEnabled());
    EXPECT_FALSE(dlg.ui->LabeledEditUser->isEnabled());
    EXPECT_FALSE(dlg.ui->LabeledEditPassword->isEnabled());
    dlg.ui->RadioButtonSMTP->click();
    EXPECT_TRUE(dlg.ui->LabeledEditPassword->isEnabled());
    dlg.ui->RadioButtonMAPI->click();
    EXPECT_FALSE(dlg.ui->LabeledEditSMTP->isEnabled());
    EXPECT_EQ(dlg.ui->LabeledEditSMTP->text(), "mail.example.org");
    dlg.ui->ButtonOK->click();
    TIni ini = File();
    EXPECT_EQ(ini.ReadString("User", "SendType", ""), "MAPI");
    EXPECT_EQ(ini.ReadString("SMTP", "Server", ""), "mail.example.org");
    EXPECT_EQ(ini.ReadString("SMTP", "Password", ""), "pw");
}

TEST_F(OptionsTest, CancelWritesNothingAndTheNextOpeningShowsTheFile) {
    Dir.Write("quillet.ini", "[User]\nName=Ann\n");
    {
        TFormOptions dlg(nullptr, nullptr);
        dlg.ui->LabeledEditName->setText("Typed but cancelled");
        dlg.ui->ButtonCancel->click();
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
    }
    EXPECT_EQ(Ini(), "[User]\nName=Ann\n");
    TFormOptions again(nullptr, nullptr);
    EXPECT_EQ(again.ui->LabeledEditName->text(), "Ann");
}

TEST_F(OptionsTest, RefusedWriteIsShownTheDialogClosesAndNothingIsReloaded) {
    Dir.Write("quillet.ini", "[User]\nName=Ann\n", 0444);
    int reloads = 0;
    TFormOptions dlg(nullptr, [&] { ++reloads; });
    dlg.ui->ButtonOK->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(reloads, 0);
    ASSERT_EQ(Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(Dialogs.Boxes[0].Text, "Unable to write to " + Dir.File("quillet.ini") + ".");
}

TEST_F(OptionsTest, SecurityChoiceProposesItsPortOverAWellKnownPortOnly) {
    TFormOptions dlg(nullptr, nullptr);
    EXPECT_EQ(dlg.ui->LabeledEditPort->text(), "25") << "a file without the key reads as port 25";
    EXPECT_EQ(dlg.ui->ComboBoxSecurity->currentText(), "Auto");
    struct Step {
        const char* Port;
        const char* Security;
        const char* Expected;
    };
    const Step steps[] = {
        {"25", "SSL/TLS", "465"}, {"465", "STARTTLS", "587"},  {"587", "SSL/TLS", "465"},
        {"465", "None", "25"},    {"2525", "SSL/TLS", "2525"}, {"", "STARTTLS", ""},
        {"5870", "Auto", "5870"}, {"587", "Auto", "25"},       {"25", "STARTTLS", "587"},
    };
    for (const Step& s : steps) {
        dlg.ui->LabeledEditPort->setText(s.Port);
        dlg.ui->ComboBoxSecurity->setCurrentText(s.Security);
        dlg.ComboBoxSecurityChange();
        EXPECT_EQ(dlg.ui->LabeledEditPort->text(), s.Expected) << s.Port << " -> " << s.Security;
    }
    dlg.ui->RadioButtonSMTPRelay->click();
    EXPECT_FALSE(dlg.ui->LabeledEditPort->isEnabled());
    EXPECT_FALSE(dlg.ui->ComboBoxSecurity->isEnabled());
    dlg.ui->ButtonOK->click();
    TIni ini = File();
    EXPECT_EQ(ini.ReadString("SMTP", "Port", ""), "587");
    EXPECT_EQ(ini.ReadString("SMTP", "Security", ""), "STARTTLS");
}

TEST_F(OptionsTest, WithAKeyringThePasswordGoesThereAndTheFileKeyStaysEmpty) {
    struct {
        const char* Why;
        const char* FilePassword;  // "SMTP"/"Password" before the dialog opens
        const char* KeyringBefore; // for mail.example.org and ann; nullptr: none
        bool Locked;
        const char* Shown;
        const char* Typed; // nullptr: OK with what is shown
        const char* FileAfter;
        const char* KeyringAfter; // nullptr: none
    } cases[] = {
        {"a password from the file moves into the keyring", "pw", nullptr, false, "pw", nullptr, "",
         "pw"},
        {"the keyring's password is shown and a new one replaces it", "", "old", false, "old",
         "new", "", "new"},
        {"a filled file key was written later than the keyring item", "newer", "old", false,
         "newer", nullptr, "", "newer"},
        {"an emptied field removes the keyring's password", "", "old", false, "old", "", "",
         nullptr},
        {"a locked keyring leaves the password in the file", "pw", nullptr, true, "pw", "typed",
         "typed", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Why);
        TKeyringGnomeKeyring service;
        if (!service.Failure().empty())
            GTEST_SKIP() << "no Secret Service can run here: " << service.Failure();
        setenv("DBUS_SESSION_BUS_ADDRESS", service.Address().c_str(), 1);
        ASSERT_TRUE(!c.KeyringBefore ||
                    TKeyring().StorePassword("mail.example.org", "ann", c.KeyringBefore));
        Dir.Write("quillet.ini",
                  std::string("[SMTP]\nServer=mail.example.org\nUser=ann\nPassword=") +
                      c.FilePassword + "\n");
        ASSERT_TRUE(!c.Locked || service.LockLogin());
        {
            TFormOptions dlg(nullptr, nullptr);
            EXPECT_EQ(dlg.ui->LabeledEditPassword->text(), c.Shown);
            if (c.Typed)
                dlg.ui->LabeledEditPassword->setText(c.Typed);
            dlg.ui->ButtonOK->click();
        }
        EXPECT_EQ(File().ReadString("SMTP", "Password", "?"), c.FileAfter);
        EXPECT_EQ(TKeyring().ReadPassword("mail.example.org", "ann"),
                  c.KeyringAfter ? std::optional<std::string>(c.KeyringAfter) : std::nullopt);
        TFormOptions again(nullptr, nullptr);
        EXPECT_EQ(again.ui->LabeledEditPassword->text(), c.Typed ? c.Typed : c.Shown)
            << "the next opening shows what was kept";
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
}

int main(int argc, char** argv) {
    return RunWindowTests(argc, argv, false);
}

// Every control lies inside its parent and shows its whole text: the
// dialog is of fixed size, so nothing may be cut off.
TEST_F(OptionsTest, EveryControlFitsTheFixedDialog) {
    TFormOptions dlg(nullptr, nullptr);
    dlg.show();
    EXPECT_EQ(dlg.size(), QSize(375, 494));
    ExpectEveryControlFits(dlg);
}

TEST_F(OptionsTest, FindSettingsFillsOnlyWhatTheUserLeftAlone) {
    TFormOptions dlg(nullptr, nullptr);
    Ui::TFormOptions& ui = *dlg.ui;
    // Leaving the address with the server empty proposes at once.
    ui.LabeledEditEmail->setText("ann@gmail.com");
    emit ui.LabeledEditEmail->editingFinished();
    EXPECT_EQ(ui.LabeledEditSMTP->text(), "smtp.gmail.com");
    EXPECT_EQ(ui.LabeledEditPort->text(), "465");
    EXPECT_EQ(ui.ComboBoxSecurity->currentText(), "SSL/TLS");
    EXPECT_EQ(ui.ComboBoxAuth->currentText(), "OAuth 2.0");
    EXPECT_EQ(ui.ComboBoxOAuthProvider->currentText(), "Google");
    EXPECT_EQ(ui.LabeledEditUser->text(), "ann@gmail.com");
    EXPECT_FALSE(ui.LabeledEditPassword->isEnabled()) << "OAuth 2.0 needs no password";
    EXPECT_TRUE(ui.ButtonSignIn->isEnabled());
    EXPECT_EQ(ui.LabelDiscovery->text(), "Found in Quillet's table of providers (Gmail). Sign in "
                                         "with OAuth 2.0 with your Google client id (or an app "
                                         "password).");

    // Another address: what the last proposal filled follows it, what the
    // user typed stays.
    ui.LabeledEditPort->clear();
    QTest::keyClicks(ui.LabeledEditPort, "2465");
    ui.LabeledEditEmail->setText("bob@icloud.com");
    ui.ButtonFindSettings->click();
    EXPECT_EQ(ui.LabeledEditSMTP->text(), "smtp.mail.me.com");
    EXPECT_EQ(ui.LabeledEditPort->text(), "2465");
    EXPECT_EQ(ui.ComboBoxAuth->currentText(), "Password");
    EXPECT_EQ(ui.LabeledEditUser->text(), "bob@icloud.com");
    EXPECT_NE(ui.LabelDiscovery->text().indexOf("Your own entries were kept."), -1);

    // A server that came from the file is the user's: leaving the address
    // proposes nothing, and the button fills nothing over it.
    Dir.Write("quillet.ini", "[SMTP]\nServer=mail.example.org\nPort=2525\n");
    TFormOptions own(nullptr, nullptr);
    own.ui->LabeledEditEmail->setText("carol@yahoo.com");
    emit own.ui->LabeledEditEmail->editingFinished();
    EXPECT_EQ(own.ui->LabelDiscovery->text(), "");
    own.ui->ButtonFindSettings->click();
    EXPECT_EQ(own.ui->LabeledEditSMTP->text(), "mail.example.org");
    EXPECT_EQ(own.ui->LabeledEditPort->text(), "2525");
    EXPECT_EQ(own.ui->ComboBoxSecurity->currentText(), "SSL/TLS") << "Auto was the default";
}

TEST_F(OptionsTest, SignInButtonRunsTheBrowserSignInAndShowsItsState) {
    TTlsTestPki pki(Dir.Path());
    const TTlsCertFiles cert = pki.Issue("auth", {"IP:127.0.0.1"});
    TOAuthServerOptions o;
    o.Cert = cert.Cert;
    o.Key = cert.Key;
    TOAuthTestServer server(o);
    ASSERT_GT(server.Port(), 0);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    Dir.Write("quillet.ini", "[User]\nEmail=ann@example.org\n[SMTP]\nServer=127.0.0.1\n"
                             "Auth=OAuth2\nOAuthProvider=Custom\nOAuthAuthorizeUrl=" +
                                 server.Url("/authorize") + "\nOAuthTokenUrl=" +
                                 server.Url("/token") + "\nCAFile=" + pki.CAFile + "\n");
    TFormOptions dlg(nullptr, nullptr);
    Ui::TFormOptions& ui = *dlg.ui;
    EXPECT_FALSE(ui.LabeledEditPassword->isEnabled());
    ui.ButtonSignIn->click();
    EXPECT_EQ(ui.LabelSignInState->text().toStdString(),
              "The OAuth 2.0 sign-in needs your own client id (OAuthClientId in section [SMTP]); "
              "the help page tells how to get one.");

    ui.LabeledEditClientId->setText(TOAuthTestServer::ClientId());
    {
        // A browser that never comes back: the button cancels.
        TOAuthBrowser none("/nonexistent.pem");
        ui.ButtonSignIn->click();
        EXPECT_EQ(ui.ButtonSignIn->text(), "Cancel s&ign-in");
        EXPECT_EQ(ui.LabelSignInState->text(), "Waiting for the sign-in in the browser...");
        ui.ButtonSignIn->click();
        EXPECT_EQ(ui.LabelSignInState->text(), "The sign-in was cancelled.");
        EXPECT_EQ(ui.ButtonSignIn->text(), "Sign &in…");
    }
    TOAuthBrowser browser(pki.CAFile);
    ui.ButtonSignIn->click();
    for (int i = 0; i < 1000 && ui.ButtonSignIn->text() != "Sign &in…"; ++i)
        QTest::qWait(20);
    EXPECT_EQ(ui.LabelSignInState->text().toStdString(),
              "Signed in as ann@example.org. No keyring is available: the sign-in lasts only "
              "while Quillet runs.");
    dlg.ui->ButtonOK->click();
    const std::string ini = Ini();
    EXPECT_NE(ini.find("OAuthClientId=quillet-test-client\n"), std::string::npos);
    EXPECT_NE(ini.find("OAuthTokenUrl=" + server.Url("/token")), std::string::npos)
        << "the keys only the file holds stay";
    for (const std::string& token : server.Issued())
        EXPECT_EQ(ini.find(token), std::string::npos);
}
