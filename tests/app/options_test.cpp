// The options dialog: what it reads, what OK writes and in which order,
// the radio group's enabling rule, Cancel, and a refused write.
#include "app/FormOptions.h"
#include "app/Settings.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/app/WindowTestMain.h"
#include "tests/support/TempDir.h"
#include "ui_FormOptions.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("QUILLET_SETTINGS_FILE", Dir.File("quillet.ini").c_str(), 1); }
    std::string Ini() { return Dir.Read("quillet.ini"); }

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
    EXPECT_EQ(
        Ini(),
        "[Audio]\nSampleRate=11025\nBitPerSample=8\n\n[User]\nName=\nEmail=\nSendType=SMTP\n\n"
        "[SMTP]\nServer=\nUser=\nPassword=\nPort=25\nSecurity=Auto\nTimeout=60\n");
}

TEST_F(OptionsTest, UnknownSendTypeShowsTheSmtpChoiceAndOkWritesSmtp) {
    Dir.Write("quillet.ini", "[User]\nSendType=smtp\n[Audio]\nSampleRate=fast\nBitPerSample=16\n");
    TFormOptions dlg(nullptr, nullptr);
    EXPECT_TRUE(dlg.ui->RadioButtonSMTP->isChecked());
    EXPECT_TRUE(dlg.ui->LabeledEditSMTP->isEnabled());
    EXPECT_EQ(dlg.ui->ComboBoxSampleRate->currentText(), "fast")
        << "shown as read, even when not an item";
    dlg.ui->ButtonOK->click();
    TSettingsFile ini;
    EXPECT_EQ(ini.ReadString("User", "SendType", ""), "SMTP");
    EXPECT_EQ(ini.ReadString("Audio", "SampleRate", ""), "fast") << "written as typed";
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
    TSettingsFile ini;
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
    TSettingsFile ini;
    EXPECT_EQ(ini.ReadString("SMTP", "Port", ""), "587");
    EXPECT_EQ(ini.ReadString("SMTP", "Security", ""), "STARTTLS");
}

int main(int argc, char** argv) {
    return RunWindowTests(argc, argv, false);
}
