// The program's shell: the error box rule, plain-text message boxes, the
// settings file, the launchers, start-up windows with their titles, design
// states and hints.
#include "app/Dialogs.h"
#include "app/ErrorHandler.h"
#include "app/FormAbout.h"
#include "app/FormMain.h"
#include "app/FormOptions.h"
#include "app/FormWait.h"
#include "app/Launchers.h"
#include "platform/Program.h"
#include "tests/app/FormMainAccess.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/app/WindowTestMain.h"
#include "tests/support/TempDir.h"
#include "ui_FormAbout.h"
#include "ui_FormMain.h"
#include "ui_FormOptions.h"
#include "workflow/SendSettings.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QTextDocumentFragment>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

TEST(ErrorBox, FullStopIsAddedOnlyAfterCharactersThatSortAfterIt) {
    struct Case {
        const char *message, *shown;
    } cases[] = {
        {"Host not found", "Host not found."},
        {"Socket Error # 10061", "Socket Error # 10061."},
        {"Error occured!", "Error occured!"},
        {"Unable to write to /x.ini.", "Unable to write to /x.ini."},
        {"Failed (code 3)", "Failed (code 3)"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorBoxText(c.message), c.shown) << c.message;
}

TEST(ErrorBox, ShownWithTheTitleAndAnErrorIcon) {
    TScriptedDialogs dialogs;
    EXPECT_FALSE(GuardHandler([] { throw Exception("'x' is not a valid integer value"); }));
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Boxes[0].Text, "'x' is not a valid integer value.");
    EXPECT_EQ(dialogs.Boxes[0].Caption, "Quillet");
    EXPECT_EQ(dialogs.Boxes[0].Icon, TMsgIcon::Error);
}

TEST(MessageBoxes, ShowTheirTextAsPlainTextWithTheirButtons) {
    const std::string text = "<b>550</b> <a href=\"http://x\">click</a>";
    for (TMsgButtons buttons : {TMsgButtons::Ok, TMsgButtons::YesNo}) {
        std::unique_ptr<QMessageBox> box =
            MakeMessageBox(nullptr, text, "Quillet", TMsgIcon::Warning, buttons);
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->text().toStdString(), text);
        EXPECT_EQ(box->standardButtons(), buttons == TMsgButtons::Ok
                                              ? QMessageBox::StandardButtons(QMessageBox::Ok)
                                              : QMessageBox::Yes | QMessageBox::No);
    }
}

TEST(Settings, FileIsBesideTheProgramWhileItsFolderIsWritable) {
    unsetenv("QUILLET_SETTINGS_FILE");
    EXPECT_EQ(SettingsFilePath(), ProgramDir() + "quillet.ini");
}

namespace {

class TFakeOpen {
public:
    TFakeOpen() : Old(getenv("PATH")) {
        Dir.Write("xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"" + Dir.File("log") + "\"\n",
                  0755);
        setenv("PATH", (Dir.Path() + ":" + Old).c_str(), 1);
    }
    ~TFakeOpen() { setenv("PATH", Old.c_str(), 1); }
    // Waits for n handed-over targets (xdg-open runs detached).
    std::string Log(size_t n) {
        for (int i = 0; i < 250; ++i) {
            std::string log = Dir.Read("log");
            if (static_cast<size_t>(std::count(log.begin(), log.end(), '\n')) >= n)
                return log;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return Dir.Read("log");
    }

    TTempDir Dir;
    std::string Old;
};

} // namespace

TEST(Launchers, EachHandsOverExactlyItsTarget) {
    TFakeOpen fake;
    TScriptedDialogs dialogs;
    ASSERT_TRUE(FileExists(HelpFile())) << "the build puts the page beside the program";
    EXPECT_EQ(HelpFile(), ProgramDir() + "quillet.html");
    ShowHelp();
    EXPECT_EQ(fake.Log(1), HelpFile() + "\n");
    // Each launcher runs detached: wait for one before starting the next.
    OpenHomePage();
    fake.Log(2);
    OpenSupportMail();
    EXPECT_EQ(fake.Log(3),
              HelpFile() + "\nhttp://www.quillet.example/\nmailto:support@quillet.example\n");
    EXPECT_TRUE(dialogs.Boxes.empty());
}

TEST(Launchers, HelpContentsAndTheOptionsHelpButtonOpenThePage) {
    TTempDir dir;
    setenv("QUILLET_SETTINGS_FILE", dir.File("q.ini").c_str(), 1);
    dir.Write("q.ini", "[User]\nName=Ann\nEmail=ann@example.org\n");
    TScriptedDialogs dialogs;
    TFakeOpen fake;
    TFormMain m;
    UiOf(m)->HelpContents1->trigger();
    fake.Log(1);
    TFormOptions options(&m, nullptr);
    options.ui->ButtonHelp->click();
    EXPECT_EQ(fake.Log(2), HelpFile() + "\n" + HelpFile() + "\n");
    unsetenv("QUILLET_SETTINGS_FILE");
}

// Every message the page explains is one the program can show: each is
// still in the sources and on the page (apostrophes as they are written).
TEST(Launchers, HelpPageExplainsTheProgramsMessages) {
    const char* messages[] = {
        "Sending cancelled.",
        "Read Timeout",
        "Connect timed out.",
        "Connection refused.",
        "Host not found.",
        "Could not compress the recording: ",
        "the encoder (lame) could not be started.",
        "the encoder (lame) failed with exit code",
        "Error resolving domain: ",
        "There is no response from the DNS server !",
        " does not accept mail (null MX).",
        "No domain accepted it.",
        "' is not a valid e-mail address.",
        "' in Options is not a valid e-mail address.",
        "Certificate of ",
        " rejected: ",
        "unknown issuer",
        "self-signed",
        "expired",
        "not yet valid",
        "name mismatch",
        " does not offer STARTTLS; nothing was sent.",
        "TLS is not available on the connection to ",
        " is not encrypted; the password was not sent.",
        " refused the sign-in token (",
        " offers no OAuth 2.0 sign-in (OAUTHBEARER",
        "Quillet is not signed in as ",
        "The sign-in of ",
        "The OAuth 2.0 sign-in needs your own client id",
        "The token command failed with exit status ",
        "The token command printed no token",
        "Found in the DNS of ",
        "No sound driver or device is installed.",
        "Are you sure to overwrite?",
        "The last recording could not be read; it was moved to",
        "Unable to write to",
        "Compressing, please wait...",
        "Sending, please wait...",
        "Recorded ",
        "The voice e-mail could not be sent now (",
        ". It is in the Outbox and will be sent again at ",
        "it could not be put in the Outbox: ",
        " could not be delivered (",
        " It is kept as ",
        "TLS handshake with ",
        " timed out.",
        "the server closed the connection.",
        "TLS error on the connection to ",
        "Cannot load the trusted certificates of ",
        "Cannot load the system's trusted certificates: ",
        "the file does not exist",
        "it is a folder, not a file",
        "Quillet may not read it (permission denied)",
        "it holds no certificate in PEM form",
        "a certificate in it is damaged",
        "The voice e-mail did not reach every recipient domain.",
        "Delivered to: ",
        "Could not connect to ",
        " at any of its addresses:",
        " names no usable mail host.",
        " cannot take the address '",
        "(it does not offer SMTPUTF8).",
        " is not a valid international domain name.",
        "The mail (",
        " MB) is larger than ",
        "Not delivered within ",
        "; the last try said: ",
        "There is no mail host to try.",
        "Could not reach the sign-in server ",
        " did not answer in time.",
        "The sign-in was refused (access_denied).",
        "The sign-in was not completed in the browser in time.",
        "The sign-in was cancelled.",
        "No port on 127.0.0.1 is free for the sign-in: ",
        " is no longer available. The take was stopped; what ",
        "Could not open the input device for recording: ",
        "Could not open the output device for playing: ",
        "Cannot write file ",
        "port number",
        " in section [",
        "); the default ",
        "' is not 1 or 0",
        "' is not one of ",
        "' is not a valid sample rate",
    };
    std::string sources;
    for (const char* folder :
         {"app", "audio", "mail", "net", "dns", "smtp", "platform", "workflow", "oauth", "cli"})
        for (const auto& e : std::filesystem::recursive_directory_iterator(
                 std::string(QUILLET_TEST_SOURCE_DIR) + "/" + folder))
            if (e.path().extension() == ".cpp" || e.path().extension() == ".h")
                sources += ReadWholeFile(e.path().string());
    const std::string page = ReadWholeFile(HelpFile());
    ASSERT_FALSE(page.empty());
    for (const char* text : messages) {
        EXPECT_NE(sources.find(text), std::string::npos) << "no longer in the program: " << text;
        EXPECT_NE(page.find(text), std::string::npos) << "not on the help page: " << text;
    }
}

TEST(Launchers, AboutBoxLinksAndButtonsUseTheLaunchers) {
    TFakeOpen fake;
    TFormAbout about(nullptr);
    EXPECT_EQ(about.windowTitle(), "About Quillet");
    EXPECT_EQ(about.ui->Label1->text(), "Quillet Version 1.5");
    EXPECT_TRUE(about.ui->OKBtn->isDefault());
    about.show();
    // Each link shows its address and opens it from the keyboard alone.
    int logged = 0;
    for (QLabel* link : {about.ui->LinkHomepage, about.ui->LinkEmail}) {
        link->setFocus();
        QTest::keyClick(link, Qt::Key_Tab); // to the link inside the text
        QTest::keyClick(link, Qt::Key_Return);
        fake.Log(++logged);
    }
    EXPECT_EQ(QTextDocumentFragment::fromHtml(about.ui->LinkHomepage->text()).toPlainText(),
              "http://www.quillet.example/");
    EXPECT_EQ(QTextDocumentFragment::fromHtml(about.ui->LinkEmail->text()).toPlainText(),
              "support@quillet.example");
    // Value and label share a line, top and baseline.
    EXPECT_EQ(about.ui->LinkHomepage->geometry().top(), about.ui->Label3->geometry().top());
    EXPECT_EQ(about.ui->LinkEmail->geometry().top(), about.ui->Label4->geometry().top());
    about.ui->ButtonHelp->click();
    EXPECT_EQ(fake.Log(3),
              "http://www.quillet.example/\nmailto:support@quillet.example\n" + HelpFile() + "\n");
}

TEST(StartUp, MainWindowDesignStatesCaptionsAndHints) {
    TTempDir dir;
    setenv("QUILLET_SETTINGS_FILE", dir.File("q.ini").c_str(), 1);
    TScriptedDialogs dialogs;
    TFormMain main;
    TFormWait wait(&main);
    EXPECT_EQ(main.windowTitle(), "Quillet 1.5");
    EXPECT_FALSE(wait.isVisible());
    EXPECT_EQ(wait.Text(), "Compressing, please wait...");
    EXPECT_EQ(UiOf(main)->EditSubject->text(), "This audio message brought to you by Quillet");

    struct Action {
        QAction* action;
        const char *text, *shortcut, *hint;
    } actions[] = {
        {UiOf(main)->ActionFileNew, "&New", "", "Clear all field"},
        {UiOf(main)->ActionFileSend, "&Send", "", "Send out the message"},
        {UiOf(main)->FileSaveAs1, "Save &As...", "", "Saves the active file with a new name"},
        {UiOf(main)->ActionOptions, "&Options", "", "Setup your email account"},
        {UiOf(main)->ActionFileExit, "E&xit", "", "Exit the program"},
        {UiOf(main)->EditCut1, "Cu&t", "Ctrl+X", "Cuts the selection and puts it on the Clipboard"},
        {UiOf(main)->EditCopy1, "&Copy", "Ctrl+C",
         "Copies the selection and puts it on the Clipboard"},
        {UiOf(main)->EditPaste1, "&Paste", "Ctrl+V", "Inserts Clipboard contents"},
        {UiOf(main)->HelpContents1, "&Contents", "", "Help Contents"},
        {UiOf(main)->ActionHelpWebsite, "&Website", "", "Home page"},
        {UiOf(main)->ActionHelpContactUs, "Contact &us", "", "E-mail us"},
        {UiOf(main)->ActionHelpAbout, "&About Quillet...", "", "About"},
        {UiOf(main)->ActionVoiceRecord, "&Record", "", ""},
        {UiOf(main)->ActionToolbarSend, "&Send", "", ""},
    };
    for (const Action& a : actions) {
        EXPECT_EQ(a.action->text(), a.text);
        EXPECT_EQ(a.action->shortcut().toString(), a.shortcut) << a.text;
        EXPECT_EQ(a.action->statusTip(), a.hint) << a.text;
    }
    EXPECT_EQ(UiOf(main)->FileSaveAs1->toolTip(), "Save As")
        << "short part of the hint is the tooltip";
    EXPECT_EQ(UiOf(main)->ActionVoicePause->iconText(), "Pause");

    // A hovered command's hint appears in the status bar.
    main.show();
    QStatusTipEvent tip(UiOf(main)->EditCopy1->statusTip());
    QApplication::sendEvent(&main, &tip);
    EXPECT_EQ(UiOf(main)->StatusBar1->currentMessage(),
              "Copies the selection and puts it on the Clipboard");

    EXPECT_EQ(LengthLabelOf(main)->text(), "0");
    EXPECT_EQ(ProgressOf(main)->value(), 0);
    EXPECT_EQ(ProgressOf(main)->maximum(), 100);
    EXPECT_EQ(UiOf(main)->MenuVoice->actions().size(), 4);
    EXPECT_EQ(UiOf(main)->MenuVoice->actions()[2], UiOf(main)->ActionVoiceStop)
        << "menu order: Record, Play, Stop, Pause";
}

int main(int argc, char** argv) {
    return RunWindowTests(argc, argv, false);
}

// True once pid runs the program named name and has a handler of its own
// for sig (a copy of this test before its exec does not count).
bool HandlesSignal(pid_t pid, const std::string& name, int sig) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    bool named = false;
    for (std::string line; std::getline(status, line);) {
        if (line == "Name:\t" + name)
            named = true;
        if (line.rfind("SigCgt:", 0) == 0)
            return named && ((std::stoull(line.substr(7), nullptr, 16) >> (sig - 1)) & 1) != 0;
    }
    return false;
}

// The real program, started without a settings file, shows its first-run
// message; a termination signal must still end it (a desktop logout or
// `timeout` relies on that).
TEST(StartUp, TerminationSignalEndsTheProgramWhileTheFirstRunMessageIsOpen) {
    TTempDir dir;
    const std::string program = dir.File("quillet");
    std::filesystem::copy_file(std::string(getenv("QUILLET_BINARY_DIR")) + "/bin/quillet", program);
    pid_t pid = fork();
    if (pid == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        unsetenv("QUILLET_SETTINGS_FILE");
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    // A signal before the program handles it would just kill it, however
    // slow the start; the first-run message follows soon after.
    for (int i = 0; i < 3000 && !HandlesSignal(pid, "quillet", SIGTERM); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the first-run message keeps it open";
    kill(pid, SIGTERM);
    pid_t ended = 0;
    for (int i = 0; i < 300 && ended == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ended = waitpid(pid, &status, WNOHANG);
    }
    if (ended == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    EXPECT_EQ(ended, pid) << "still running 3 s after SIGTERM";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
