// Keyboard and screen-reader access to every window: each control has a
// name an accessibility client reads, no two access keys of one window (or
// of one page of it) clash, Enter and Esc work the dialogs, and on a dark
// desktop palette the texts, the voice glyphs and the level meter's bar
// stand out as WCAG 2.1 asks.
#include "app/Contrast.h"
#include "app/FormAbout.h"
#include "app/FormMain.h"
#include "app/FormOptions.h"
#include "app/FormOutbox.h"
#include "app/FormWait.h"
#include "app/LevelMeter.h"
#include "tests/app/AccessCheck.h"
#include "tests/app/FormMainAccess.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/app/WindowTestMain.h"
#include "tests/support/TempDir.h"
#include "ui_FormMain.h"
#include "ui_FormOptions.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

class AccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("QUILLET_SETTINGS_FILE", Dir.File("quillet.ini").c_str(), 1);
        setenv("QUILLET_OUTBOX_DIR", Dir.File("outbox").c_str(), 1);
        Dir.Write("quillet.ini", "[User]\nName=Ann\nEmail=ann@example.org\n");
    }
    void TearDown() override {
        unsetenv("QUILLET_SETTINGS_FILE");
        unsetenv("QUILLET_OUTBOX_DIR");
    }
    TTempDir Dir;
    TScriptedDialogs Dialogs;
};

} // namespace

TEST_F(AccessTest, EveryControlIsNamedAndNoAccessKeyClashes) {
    TFormMain main(nullptr, nullptr, [] { return 1000u; });
    main.show();
    TFormOptions options(&main, nullptr);
    TFormAbout about(&main);
    TFormWait wait(&main);
    TFormOutbox outbox(&main, SchedulerOf(main));
    TAccessWalk walk;
    for (QWidget* window : std::initializer_list<QWidget*>{&main, &options, &about, &wait, &outbox})
        WalkWindow(*window, walk);
    std::printf("accessibility walk: %d windows, %d focusable controls, %zu unnamed\n",
                walk.Windows, walk.Checked, walk.Unnamed.size());
    EXPECT_EQ(walk.Windows, 5);
    EXPECT_GT(walk.Checked, 40);
    for (const std::string& unnamed : walk.Unnamed)
        ADD_FAILURE() << "no accessible name: " << unnamed;
    for (const std::string& clash : walk.Clashes)
        ADD_FAILURE() << "access key used twice: " << clash;

    // Enter presses the default button, Esc closes the dialog.
    for (QDialog* dialog : std::initializer_list<QDialog*>{&options, &about, &outbox}) {
        SCOPED_TRACE(dialog->objectName().toStdString());
        const QList<QPushButton*> buttons = dialog->findChildren<QPushButton*>();
        EXPECT_EQ(std::count_if(buttons.begin(), buttons.end(),
                                [](QPushButton* b) { return b->isDefault(); }),
                  1);
        dialog->show();
        QTest::keyClick(dialog, Qt::Key_Escape);
        EXPECT_FALSE(dialog->isVisible());
    }

    // The meter is read as a value, not as a picture.
    QAccessibleInterface* meter = QAccessible::queryAccessibleInterface(MeterOf(main));
    ASSERT_NE(meter, nullptr);
    QAccessibleValueInterface* value = meter->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->minimumValue().toInt(), -60);
    EXPECT_EQ(value->maximumValue().toInt(), 0);
    MeterOf(main)->Update(-12.4, 5000);
    EXPECT_EQ(value->currentValue().toInt(), -12);
    EXPECT_EQ(meter->text(QAccessible::Value), "-12 dB");
}

TEST_F(AccessTest, OnADarkPaletteTextsAndTheMeterStandOut) {
    const QPalette before = QApplication::palette();
    QPalette dark;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        dark.setColor(group, QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
        dark.setColor(group, QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
        dark.setColor(group, QPalette::Button, QColor(0x35, 0x35, 0x35));
        for (QPalette::ColorRole text :
             {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            dark.setColor(group, text, QColor(0xee, 0xee, 0xee));
    }
    QApplication::setPalette(dark);
    {
        TFormMain main(nullptr, nullptr, [] { return 1000u; });
        TFormOptions options(&main, nullptr);
        TFormWait wait(&main);
        main.show();
        Ui::TFormMain& ui = *UiOf(main);
        ui.StatusBar1->showMessage("Recorded 0:42, about 180 KB by mail");
        TakeLabelOf(main)->setText("Recorded 0:42, about 180 KB by mail");
        options.ui->LabelMeter->setText("Listening to default");
        double least = 21;
        for (QWidget* window : std::initializer_list<QWidget*>{&main, &options, &wait}) {
            for (QLabel* label : window->findChildren<QLabel*>()) {
                if (!label->isEnabled())
                    continue; // WCAG leaves inactive controls out
                const double ratio = TextContrast(*label);
                least = std::min(least, ratio);
                EXPECT_GE(ratio, 4.5) << label->objectName().toStdString();
            }
        }
        // The status bar paints its message in the window's text colour.
        const double status = ContrastRatio(ui.StatusBar1->palette().color(QPalette::WindowText),
                                            ui.StatusBar1->palette().color(QPalette::Window));
        EXPECT_GE(status, 4.5);
        least = std::min(least, status);
        std::printf("dark palette: least text contrast %.2f:1\n", least);

        // The voice toolbar's glyphs are graphics too.
        const QColor window = main.palette().color(QPalette::Window);
        for (QAction* action :
             {ui.ActionVoiceRecord, ui.ActionVoicePlay, ui.ActionVoicePause, ui.ActionVoiceStop}) {
            const QImage glyph = action->icon().pixmap(16, 16).toImage();
            EXPECT_GE(ContrastRatio(glyph.pixelColor(5, 8), window), 3.0)
                << action->iconText().toStdString();
        }

        TLevelMeter& meter = *MeterOf(main);
        const QColor background = meter.palette().color(QPalette::Base);
        for (double db : {-30.0, -6.0, -1.0}) {
            const double ratio = ContrastRatio(MeterColour(db, background), background);
            std::printf("dark palette: meter at %.0f dB %.2f:1\n", db, ratio);
            EXPECT_GE(ratio, 3.0) << db << " dB";
        }
    }
    QApplication::setPalette(before);
}

int main(int argc, char** argv) {
    return RunWindowTests(argc, argv, false);
}
