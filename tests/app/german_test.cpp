// Quillet in German, chosen by LANG alone (no de_DE locale need be
// installed): the main window, a library's message in a message box with
// Qt's own German buttons, and the fixed windows grown where the German
// texts are longer, so nothing is cut.
#include "app/Dialogs.h"
#include "app/FormAbout.h"
#include "app/FormMain.h"
#include "app/FormOptions.h"
#include "app/FormOutbox.h"
#include "app/FormWait.h"
#include "net/NetDeliveryException.h"
#include "platform/Translations.h"
#include "tests/app/AccessCheck.h"
#include "tests/app/FitCheck.h"
#include "tests/app/FormMainAccess.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/support/TempDir.h"
#include "ui_FormMain.h"
#include "ui_FormOptions.h"

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

class GermanTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("QUILLET_SETTINGS_FILE", Dir.File("quillet.ini").c_str(), 1);
        Dir.Write("quillet.ini", "[User]\nName=Ann\nEmail=ann@example.org\n");
    }
    TTempDir Dir;
    TScriptedDialogs Dialogs;
};

} // namespace

TEST_F(GermanTest, TheMainWindowSpeaksGerman) {
    TFormMain main(nullptr, nullptr, [] { return 1000u; });
    Ui::TFormMain& ui = *UiOf(main);
    EXPECT_EQ(ui.MenuFile->title(), "&Datei");
    EXPECT_EQ(ui.ActionFileOutbox->text(), "&Postausgang...");
    EXPECT_EQ(ui.LabelSubject->text(), "Be&treff:");
    // Set by the code at each new take, not only by the form.
    EXPECT_EQ(ui.EditSubject->text(), "Diese Sprachnachricht kommt mit Quillet");
    EXPECT_EQ(ui.ActionToolbarSend->iconText(), "Senden");
}

TEST_F(GermanTest, AMessageBoxShowsTheLibrarysTextWithGermanButtons) {
    // Made in the network library, far below the window.
    const std::string text = ENetReadTimeout().Message;
    EXPECT_EQ(text, "Zeitüberschreitung beim Lesen");
    auto box = MakeMessageBox(nullptr, text, "Quillet", TMsgIcon::Warning, TMsgButtons::YesNo);
    EXPECT_EQ(box->text(), QString::fromStdString(text));
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm"))
        GTEST_SKIP() << "Qt's own German (qt6-translations-l10n) is not installed";
    EXPECT_EQ(box->button(QMessageBox::Yes)->text(), "&Ja");
    EXPECT_EQ(box->button(QMessageBox::No)->text(), "&Nein");
}

// The German access keys are chosen anew: none may clash either.
TEST_F(GermanTest, TheFixedWindowsGrowUntilEveryGermanTextFitsAndNoAccessKeyClashes) {
    TFormOptions options(nullptr, nullptr);
    EXPECT_EQ(options.ui->ButtonSignIn->text(), "Anmel&den…");
    TFormAbout about(nullptr);
    TFormWait wait(nullptr);
    TAccessWalk keys;
    for (QWidget* window : {static_cast<QWidget*>(&options), static_cast<QWidget*>(&about),
                            static_cast<QWidget*>(&wait)}) {
        SCOPED_TRACE(window->objectName().toStdString());
        window->show();
        ExpectEveryControlFits(*window);
        CheckAccessKeys(*window, keys);
    }
    TFormMain main(nullptr, nullptr, [] { return 1000u; });
    CheckAccessKeys(main, keys);
    TFormOutbox outbox(&main, SchedulerOf(main));
    CheckAccessKeys(outbox, keys);
    for (const std::string& clash : keys.Clashes)
        ADD_FAILURE() << "access key used twice: " << clash;
    // The longer text of a running sign-in fits too.
    options.ui->ButtonSignIn->setText(options.tr("Cancel s&ign-in"));
    EXPECT_EQ(options.ui->ButtonSignIn->text(), "Anme&ldung abbrechen");
    ExpectEveryControlFits(options);
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // As a German desktop sets it, whether or not the locale is installed.
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        unsetenv(name);
    setenv("LANG", "de_DE.UTF-8", 1);
    QApplication app(argc, argv);
    const std::string language = InstallTranslations();
    if (language != "de_DE" && language != "de") {
        std::fprintf(stderr, "the German catalogue was not found beside the test\n");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
