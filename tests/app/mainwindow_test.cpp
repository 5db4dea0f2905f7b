// The main window's voice recording: enabled states and transitions driven
// through the actions, the overwrite question, pause and resume timing with
// an injected tick counter (also across a wrap), playback to the end, the
// failures that leave everything as it was, and settings applied.
// Sound goes through the real ALSA library with file-plugin PCMs.
#include "app/FormMain.h"
#include "app/FormOptions.h"
#include "app/LevelMeter.h"
#include "audio/Audio.h"
#include "audio/WAVFile.h"
#include "platform/EventQueue.h"
#include "platform/Profile.h"
#include "platform/Program.h"
#include "tests/app/FormMainAccess.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/app/WindowTestMain.h"
#include "tests/support/TempDir.h"
#include "tests/support/audio_PacedFixture.h"
#include "tests/support/audio_WavBytes.h"
#include "ui_FormMain.h"
#include "ui_FormOptions.h"
#include "workflow/SendWorkflow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <thread>

namespace {

struct TStates {
    bool Play, Record, Pause, Stop, Send, SaveAs, Timer;
};

TStates StatesOf(TFormMain& m) {
    return {UiOf(m)->ActionVoicePlay->isEnabled(),
            UiOf(m)->ActionVoiceRecord->isEnabled(),
            UiOf(m)->ActionVoicePause->isEnabled(),
            UiOf(m)->ActionVoiceStop->isEnabled(),
            UiOf(m)->ActionFileSend->isEnabled(),
            UiOf(m)->FileSaveAs1->isEnabled(),
            TimerOf(m)->isActive()};
}

#define EXPECT_STATES(m, play, record, pause, stop, send, saveAs, timer)                           \
    do {                                                                                           \
        TStates s = StatesOf(m);                                                                   \
        EXPECT_EQ(s.Play, play) << "Play";                                                         \
        EXPECT_EQ(s.Record, record) << "Record";                                                   \
        EXPECT_EQ(s.Pause, pause) << "Pause";                                                      \
        EXPECT_EQ(s.Stop, stop) << "Stop";                                                         \
        EXPECT_EQ(s.Send, send) << "Send";                                                         \
        EXPECT_EQ(s.SaveAs, saveAs) << "Save As";                                                  \
        EXPECT_EQ(s.Timer, timer) << "Timer";                                                      \
        EXPECT_EQ(UiOf(m)->ActionToolbarSend->isEnabled(), s.Send) << "both Send commands";        \
    } while (0)

bool PumpUntil(const std::function<bool()>& done, int ms = 10000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("QUILLET_SETTINGS_FILE", Dir.File("quillet.ini").c_str(), 1);
        Dir.Write("quillet.ini", "[User]\nName=Ann\nEmail=ann@example.org\n");
        // A take lasts as long as it is recorded, as from a sound card.
        Capture = std::make_unique<TPacedFixture>(Dir.File("capture.fifo"));
        setenv("QUILLET_ALSA_INFILE", Dir.File("capture.fifo").c_str(), 1);
    }
    void TearDown() override {
        DeleteFile(TFormMain::RecordingFile());
        unsetenv("QUILLET_ALSA_INFILE");
        Capture.reset();
    }
    std::unique_ptr<TFormMain> Make() {
        return std::make_unique<TFormMain>(nullptr, nullptr, [this] { return Tick; });
    }
    // Records a short take through the fixture PCM: until some sound is in
    // the file, however long the device takes to start.
    void RecordTake(TFormMain& m) {
        UiOf(m)->ActionVoiceRecord->trigger();
        EXPECT_TRUE(PumpUntil([] {
            std::error_code e;
            const auto size = std::filesystem::file_size(TFormMain::RecordingFile(), e);
            return !e && size > 44 + 4096;
        })) << "nothing recorded";
        UiOf(m)->ActionVoiceStop->trigger();
    }

    TTempDir Dir;
    std::unique_ptr<TPacedFixture> Capture;
    TScriptedDialogs Dialogs;
    uint32_t Tick = 1000;
};

} // namespace

TEST_F(MainWindowTest, FirstRunAsksForTheAccountOnItsPage) {
    Dir.Write("quillet.ini", "");
    int page = -1;
    Dialogs.OnModal = [&](QDialog* d) {
        page = static_cast<TFormOptions*>(d)->ui->PageControl1->currentIndex();
        return 0;
    };
    auto m = Make();
    ASSERT_EQ(Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(Dialogs.Boxes[0].Text,
              "This is the first time you use Quillet, please setup your account infomation.");
    EXPECT_EQ(Dialogs.Boxes[0].Caption, "Quillet");
    EXPECT_EQ(Dialogs.Modals, 1);
    EXPECT_EQ(page, 1);
}

TEST_F(MainWindowTest, StatesThroughRecordPauseStopAndTheOverwriteQuestion) {
    auto m = Make();
    EXPECT_TRUE(Dialogs.Boxes.empty()) << "a named user sees no first-run message";
    EXPECT_EQ(UiOf(m)->EditTo->text(), "support@quillet.example");
    EXPECT_STATES(*m, false, true, false, false, false, false, false);

    UiOf(m)->ActionVoiceRecord->trigger(); // after New: no question
    EXPECT_TRUE(Dialogs.Boxes.empty());
    EXPECT_EQ(m->VoiceState, vsRecording);
    EXPECT_STATES(*m, false, false, true, true, false, false, true);

    Tick = 3500;
    m->Timer1Timer();
    EXPECT_EQ(LengthLabelOf(m)->text(), "2");
    UiOf(m)->ActionVoicePause->trigger();
    EXPECT_EQ(m->VoiceState, vsRecordPaused);
    EXPECT_STATES(*m, false, true, false, true, false, false, false);

    Tick = 60000; // paused time is not counted
    UiOf(m)->ActionVoiceRecord->trigger();
    EXPECT_EQ(m->VoiceState, vsRecording);
    Tick = 61000;
    m->Timer1Timer();
    EXPECT_EQ(LengthLabelOf(m)->text(), "3");

    UiOf(m)->ActionVoiceStop->trigger();
    EXPECT_EQ(m->VoiceState, vsIdle);
    EXPECT_STATES(*m, true, true, true, false, true, true, false); // Pause keeps its state at Stop
    EXPECT_EQ(LengthLabelOf(m)->text(), "0");
    TWAVFile wav;
    ASSERT_TRUE(wav.LoadFromFile(TFormMain::RecordingFile()));
    EXPECT_TRUE(wav.Valid) << "the file is complete when Stop returns";
    auto size = std::filesystem::file_size(TFormMain::RecordingFile());

    Dialogs.Answers = {TMsgResult::No};
    UiOf(m)->ActionVoiceRecord->trigger();
    ASSERT_EQ(Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(Dialogs.Boxes[0].Text, "Are you sure to overwrite?");
    EXPECT_EQ(Dialogs.Boxes[0].Caption, "Warning");
    EXPECT_EQ(Dialogs.Boxes[0].Icon, TMsgIcon::Warning);
    EXPECT_EQ(Dialogs.Boxes[0].Buttons, TMsgButtons::YesNo);
    EXPECT_EQ(m->VoiceState, vsIdle) << "No changes nothing";
    EXPECT_EQ(std::filesystem::file_size(TFormMain::RecordingFile()), size);
    EXPECT_STATES(*m, true, true, true, false, true, true, false);

    Dialogs.Answers = {TMsgResult::Yes};
    UiOf(m)->ActionVoiceRecord->trigger();
    EXPECT_EQ(m->VoiceState, vsRecording);
    EXPECT_TRUE(UiOf(m)->ActionFileSend->isEnabled()) << "Send stays enabled during a later take";
    UiOf(m)->ActionVoiceStop->trigger();

    std::ofstream(TFormMain::EncodedFile()) << "ID3"; // as the last send left it
    UiOf(m)->ActionFileNew->trigger();
    EXPECT_FALSE(FileExists(TFormMain::RecordingFile()));
    EXPECT_FALSE(FileExists(TFormMain::EncodedFile())) << "New deletes the MP3 too";
    EXPECT_STATES(*m, false, true, false, false, false, true, false);
    UiOf(m)->ActionVoiceRecord->trigger();
    EXPECT_EQ(Dialogs.Boxes.size(), 2u) << "Record after New asks nothing";
    UiOf(m)->ActionVoiceStop->trigger();
}

TEST_F(MainWindowTest, PlayingToTheEndReturnsToIdleAndALaterPauseChangesNothing) {
    std::string played = Dir.File("played.raw");
    setenv("QUILLET_ALSA_OUTFILE", played.c_str(), 1);
    auto m = Make();
    RecordTake(*m);
    Tick = 5000;
    UiOf(m)->ActionVoicePlay->trigger();
    EXPECT_EQ(m->VoiceState, vsPlaying);
    EXPECT_STATES(*m, false, false, true, true, true, true, true);
    TWAVFile wav;
    wav.LoadFromFile(TFormMain::RecordingFile());
    EXPECT_EQ(ProgressOf(m)->maximum(), static_cast<int>(std::lround(wav.Duration() * 1000)));
    Tick = 5040;
    m->Timer1Timer();
    EXPECT_EQ(ProgressOf(m)->value(), std::min(40, ProgressOf(m)->maximum()));

    ASSERT_TRUE(PumpUntil([&] { return m->VoiceState == vsIdle; })) << "end of playback";
    EXPECT_EQ(LengthLabelOf(m)->text(), "0");
    EXPECT_EQ(ProgressOf(m)->value(), 0);
    EXPECT_STATES(*m, true, true, true, false, true, true, false);
    unsetenv("QUILLET_ALSA_OUTFILE");

    UiOf(m)->ActionVoicePause->trigger(); // Pause kept its enabled state after the Stop
    EXPECT_EQ(m->VoiceState, vsIdle);
    EXPECT_STATES(*m, true, true, true, false, true, true, false);
}

TEST_F(MainWindowTest, PlayPauseResumeAndStop) {
    auto m = Make();
    RecordTake(*m);
    UiOf(m)->ActionVoicePlay->trigger();
    UiOf(m)->ActionVoicePause->trigger();
    if (m->VoiceState == vsIdle)
        GTEST_SKIP() << "the take ended before the pause";
    EXPECT_EQ(m->VoiceState, vsPlayPaused);
    EXPECT_STATES(*m, true, false, false, true, true, true, false);
    UiOf(m)->ActionVoicePlay->trigger();
    EXPECT_TRUE(m->VoiceState == vsPlaying || m->VoiceState == vsIdle);
    UiOf(m)->ActionVoiceStop->trigger();
    EXPECT_EQ(m->VoiceState, vsIdle);
    EXPECT_STATES(*m, true, true, true, false, true, true, false);
}

TEST_F(MainWindowTest, ElapsedTimeIsRightAcrossAWrapOfTheTickCounter) {
    auto m = Make();
    Tick = 0xFFFFF000u;
    UiOf(m)->ActionVoiceRecord->trigger();
    Tick = 0x00000800u;
    m->Timer1Timer();
    EXPECT_EQ(m->ElapsedMs, 0x1800u);
    EXPECT_EQ(LengthLabelOf(m)->text(), "6");
    UiOf(m)->ActionVoiceStop->trigger();
}

TEST_F(MainWindowTest, NewDuringATakeStopsItAndDeletesTheRecording) {
    auto m = Make();
    UiOf(m)->ActionVoiceRecord->trigger();
    UiOf(m)->ActionFileNew->trigger();
    EXPECT_EQ(m->VoiceState, vsIdle);
    EXPECT_FALSE(TimerOf(m)->isActive());
    EXPECT_FALSE(FileExists(TFormMain::RecordingFile()));
    EXPECT_STATES(*m, false, true, false, false, false, true, false);
    UiOf(m)->ActionVoiceRecord->trigger();
    EXPECT_TRUE(Dialogs.Boxes.empty()) << "ElapsedMs was reset";
    UiOf(m)->ActionVoiceStop->trigger();
}

TEST_F(MainWindowTest, FileFailuresAreShownAndChangeNothing) {
    auto m = Make();
    // A folder in the recording's place cannot be created as a file.
    std::filesystem::create_directory(TFormMain::RecordingFile());
    UiOf(m)->ActionVoiceRecord->trigger();
    std::filesystem::remove(TFormMain::RecordingFile());
    ASSERT_EQ(Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(Dialogs.Boxes[0].Text.rfind(
                  "Cannot create file \"" + TFormMain::RecordingFile() + "\". ", 0),
              0u)
        << Dialogs.Boxes[0].Text;
    EXPECT_EQ(m->VoiceState, vsIdle);
    EXPECT_STATES(*m, false, true, false, false, false, false, false);

    RecordTake(*m);
    DeleteFile(TFormMain::RecordingFile());
    UiOf(m)->ActionVoicePlay->trigger();
    ASSERT_EQ(Dialogs.Boxes.size(), 2u);
    EXPECT_EQ(Dialogs.Boxes[1].Text, "Cannot open file \"" + TFormMain::RecordingFile() +
                                         "\". No such file or directory.");
    EXPECT_EQ(m->VoiceState, vsIdle);
    EXPECT_STATES(*m, true, true, true, false, true, true, false);
}

// A value the settings cannot use is shown once, naming it, and its
// default used; the rest of the start-up still runs: the take the last run
// left is offered, To is filled, and Record asks before replacing the take.
TEST_F(MainWindowTest, ABadValueAtStartUpCostsNoTake) {
    const std::string ini = Dir.File("quillet.ini");
    struct TCase {
        const char* Section;
        const char* Shown;
    } cases[] = {
        {"[Audio]\nSampleRate=fast\n", "'fast' is not a valid integer value."},
        {"[SMTP]\nPort=abc\n", "'abc' is not a valid port number (key Port in section [SMTP] of "},
        {"[SMTP]\nTimeout=abc\n",
         "'abc' is not a valid time-out (key Timeout in section [SMTP] of "},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Section);
        Dir.Write("quillet.ini", std::string("[User]\nName=Ann\n") + c.Section);
        std::ofstream(TFormMain::RecordingFile(), std::ios::binary) << WavBytes(2);
        Dialogs.Boxes.clear();
        auto m = Make();
        ASSERT_EQ(Dialogs.Boxes.size(), 1u);
        EXPECT_EQ(Dialogs.Boxes[0].Text.rfind(c.Shown, 0), 0u) << Dialogs.Boxes[0].Text;
        EXPECT_EQ(Dialogs.Boxes[0].Icon, TMsgIcon::Error);
        EXPECT_EQ(UiOf(m)->EditTo->text(), "support@quillet.example");
        EXPECT_TRUE(TakeLabelOf(m)->text().startsWith("Recorded 0:02, about "))
            << "the kept take is offered";
        EXPECT_TRUE(TakeLabelOf(m)->text().endsWith(" KB by mail"));
        EXPECT_STATES(*m, true, true, false, false, true, true, false);
        Dialogs.Answers = {TMsgResult::No};
        UiOf(m)->ActionVoiceRecord->trigger();
        ASSERT_EQ(Dialogs.Boxes.size(), 2u);
        EXPECT_EQ(Dialogs.Boxes[1].Text, "Are you sure to overwrite?");
        EXPECT_EQ(ReadWholeFile(TFormMain::RecordingFile()), WavBytes(2));
    }
}

TEST_F(MainWindowTest, AnInputDeviceThatIsGoneGivesWayToTheDefaultAtStart) {
    Dir.Write("quillet.ini", "[User]\nName=Ann\n[Audio]\nDevice=plughw:CARD=Gone,DEV=0\n");
    auto m = Make();
    EXPECT_EQ(UiOf(m)->StatusBar1->currentMessage().toStdString(),
              "The input device \"plughw:CARD=Gone,DEV=0\" is not available; recording from "
              "\"default\".");
    EXPECT_EQ(AudioOf(m)->InputDevice(), "default");
    EXPECT_EQ(ReadProfileString(Dir.File("quillet.ini"), "Audio", "Device", ""),
              "plughw:CARD=Gone,DEV=0")
        << "the choice is kept for when the device is back";
}

TEST_F(MainWindowTest, OptionsAppliesTheSettingsAtOnce) {
    auto m = Make();
    EXPECT_EQ(AudioOf(m)->Recorder()->BitsPerSample(), TBPS::_8);
    Dialogs.OnModal = [](QDialog* d) {
        auto* o = static_cast<TFormOptions*>(d);
        o->ui->ComboBoxBit->setCurrentText("16");
        o->ui->ComboBoxSampleRate->setCurrentText("22050");
        o->ui->LabeledEditName->setText("Bob");
        o->ui->RadioButtonMAPI->click();
        o->ui->ButtonOK->click();
        return o->result();
    };
    UiOf(m)->ActionToolbarOptions->trigger();
    EXPECT_EQ(AudioOf(m)->Recorder()->BitsPerSample(), TBPS::_16);
    EXPECT_EQ(AudioOf(m)->Recorder()->SampleRate(), 22050);
    EXPECT_EQ(AudioOf(m)->InputDevice(), "default");
    EXPECT_EQ(WorkflowOf(m).Settings().UserName, "Bob");
    EXPECT_EQ(WorkflowOf(m).Settings().SendType, TSendType::Mapi);

    Dialogs.OnModal = [](QDialog* d) {
        auto* o = static_cast<TFormOptions*>(d);
        o->ui->ComboBoxBit->setCurrentText("32");
        o->ui->ButtonOK->click();
        return o->result();
    };
    UiOf(m)->ActionOptions->trigger();
    EXPECT_EQ(AudioOf(m)->Recorder()->BitsPerSample(), TBPS::_8) << "only \"16\" selects 16-bit";

    // A refused write keeps the window's settings.
    std::filesystem::permissions(Dir.File("quillet.ini"), std::filesystem::perms::owner_read);
    Dialogs.OnModal = [](QDialog* d) {
        auto* o = static_cast<TFormOptions*>(d);
        o->ui->LabeledEditName->setText("Carol");
        o->ui->ButtonOK->click();
        return o->result();
    };
    UiOf(m)->ActionOptions->trigger();
    EXPECT_EQ(WorkflowOf(m).Settings().UserName, "Bob");
    EXPECT_EQ(Dialogs.Boxes.back().Text, "Unable to write to " + Dir.File("quillet.ini") + ".");
}

// The meter reads the captured bytes' level; after Stop the take's length
// stays in the status bar (through a playback too) while the length display
// goes back to 0.
TEST_F(MainWindowTest, MeterReadsTheCapturedLevelAndStopShowsTheTakeLength) {
    Dir.Write("quillet.ini", "[User]\nName=Ann\nEmail=ann@example.org\n[Audio]\nBitPerSample=16\n");
    struct TCase {
        int16_t Amplitude;
        double Low, High; // dBFS
    };
    const TCase cases[] = {{32000, -0.3, 0.0}, {1000, -30.5, -30.1}}; // 20 log10(1000/32768)
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Amplitude);
        std::string raw;
        for (int i = 0; i < 40000; ++i) {
            const auto v = static_cast<uint16_t>(i % 2 ? -c.Amplitude : c.Amplitude);
            raw += {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
        }
        Dir.Write("in.raw", raw);
        setenv("QUILLET_ALSA_INFILE", Dir.File("in.raw").c_str(), 1);
        auto m = Make();
        UiOf(m)->ActionVoiceRecord->trigger();
        EXPECT_TRUE(PumpUntil([&] { return MeterOf(m)->Peaks().Hold() >= c.Low; }, 5000))
            << MeterOf(m)->Peaks().Hold();
        EXPECT_LE(MeterOf(m)->Peaks().Hold(), c.High);
        EXPECT_EQ(TakeLabelOf(m)->text(), "") << "no take length while recording";
        UiOf(m)->ActionVoiceStop->trigger();
        EXPECT_EQ(MeterOf(m)->Peaks().Hold(), MeterFloorDb) << "the meter rests after Stop";
        EXPECT_EQ(LengthLabelOf(m)->text(), "0");
        TWAVFile take;
        ASSERT_TRUE(take.LoadFromFile(TFormMain::RecordingFile()));
        ASSERT_GT(take.Duration(), 0);
        const auto sec = static_cast<int>(take.Duration());
        const QString shown = TakeLabelOf(m)->text();
        EXPECT_TRUE(shown.startsWith(
            QString("Recorded %1:%2, about ").arg(sec / 60).arg(sec % 60, 2, 10, QChar('0'))))
            << shown.toStdString();
        UiOf(m)->ActionVoicePlay->trigger();
        EXPECT_TRUE(PumpUntil([&] { return m->VoiceState == vsIdle; }));
        EXPECT_EQ(TakeLabelOf(m)->text(), shown) << "a playback keeps it";
        UiOf(m)->ActionFileNew->trigger();
        EXPECT_EQ(TakeLabelOf(m)->text(), "") << "New clears it";
    }
    unsetenv("QUILLET_ALSA_INFILE");
}

// Cut, Copy and Paste by menu action and by shortcut, with each field
// focused: only the focused field's text and selection take part.
TEST_F(MainWindowTest, EditCommandsActOnTheFocusedField) {
    auto m = Make();
    m->show();
    QApplication::setActiveWindow(m.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(m.get()));
    struct TField {
        const char* Name;
        QWidget* Widget;
        std::function<QString()> Text;
        std::function<void(const QString&)> Set; // the text, all of it selected
    };
    auto line = [](const char* name, QLineEdit* e) {
        return TField{name, e, [e] { return e->text(); },
                      [e](const QString& t) {
                          e->setText(t);
                          e->selectAll();
                      }};
    };
    QPlainTextEdit* memo = UiOf(m)->MemoContent;
    std::vector<TField> fields = {line("To", UiOf(m)->EditTo),
                                  line("Cc", UiOf(m)->EditCc),
                                  line("Subject", UiOf(m)->EditSubject),
                                  {"memo", memo, [memo] { return memo->toPlainText(); },
                                   [memo](const QString& t) {
                                       memo->setPlainText(t);
                                       memo->selectAll();
                                   }}};
    enum TCommand { Cut, Copy, Paste };
    struct TCase {
        TCommand Command;
        QAction* Action;
        Qt::Key Key;
    };
    const TCase cases[] = {{Cut, UiOf(m)->EditCut1, Qt::Key_X},
                           {Copy, UiOf(m)->EditCopy1, Qt::Key_C},
                           {Paste, UiOf(m)->EditPaste1, Qt::Key_V}};
    for (size_t i = 0; i < fields.size(); ++i) {
        for (const TCase& c : cases) {
            for (bool byKey : {false, true}) {
                SCOPED_TRACE(std::string(fields[i].Name) + " " +
                             c.Action->objectName().toStdString() + (byKey ? " key" : " action"));
                for (TField& f : fields)
                    f.Set(QString("text of ") + f.Name);
                fields[i].Widget->setFocus();
                ASSERT_TRUE(PumpUntil([&] { return fields[i].Widget->hasFocus(); }));
                QApplication::clipboard()->setText("clip");
                if (byKey)
                    QTest::keyClick(fields[i].Widget, c.Key, Qt::ControlModifier);
                else
                    c.Action->trigger();
                QString own = QString("text of ") + fields[i].Name;
                EXPECT_EQ(QApplication::clipboard()->text(), c.Command == Paste ? "clip" : own);
                EXPECT_EQ(fields[i].Text(), c.Command == Cut    ? ""
                                            : c.Command == Copy ? own
                                                                : QString("clip"));
                for (size_t j = 0; j < fields.size(); ++j)
                    EXPECT_TRUE(j == i || fields[j].Text() == QString("text of ") + fields[j].Name)
                        << fields[j].Name << " changed";
            }
        }
    }
}

// The take of a run that was killed mid-take, started in a child process.
TEST_F(MainWindowTest, StartKeepsATakeCutShortByAKill) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    DeleteFile(TFormMain::RecordingFile());
    EXPECT_EXIT(
        {
            auto m = Make();
            UiOf(m)->ActionVoiceRecord->trigger();
            PumpUntil([] { // past the first size update
                TWAVFile sizes;
                return sizes.LoadFromFile(TFormMain::RecordingFile()) && sizes.Duration() > 0;
            });
            kill(getpid(), SIGKILL);
        },
        ::testing::KilledBySignal(SIGKILL), "");
    auto b = std::filesystem::file_size(TFormMain::RecordingFile());
    TWAVFile left;
    ASSERT_TRUE(left.LoadFromFile(TFormMain::RecordingFile()));
    EXPECT_GT(left.Duration(), 0) << "sizes were written while recording";
    EXPECT_LE(static_cast<uintmax_t>(left.FileSize), b);

    auto m = Make();
    ASSERT_TRUE(FileExists(TFormMain::RecordingFile())) << "start keeps the take";
    EXPECT_STATES(*m, true, true, false, false, true, true, false);
    EXPECT_EQ(LengthLabelOf(m)->text(), "0");
    EXPECT_TRUE(TakeLabelOf(m)->text().startsWith("Recorded "))
        << TakeLabelOf(m)->text().toStdString();
    ASSERT_TRUE(left.LoadFromFile(TFormMain::RecordingFile()));
    EXPECT_EQ(static_cast<uintmax_t>(left.FileSize),
              std::filesystem::file_size(TFormMain::RecordingFile()))
        << "repaired to its full length";
    EXPECT_EQ(m->ElapsedMs, static_cast<uint32_t>(std::lround(left.Duration() * 1000)));
    UiOf(m)->ActionVoicePlay->trigger();
    EXPECT_TRUE(PumpUntil([&] { return m->VoiceState == vsIdle; })) << "it plays to its end";
    EXPECT_TRUE(Dialogs.Boxes.empty());
}

TEST_F(MainWindowTest, StartMovesAnUnreadableRecordingAside) {
    const std::string path = TFormMain::RecordingFile();
    for (const auto& e : std::filesystem::directory_iterator(ProgramDir()))
        if (e.path().filename().string().rfind("Quillet-", 0) == 0)
            std::filesystem::remove(e.path());
    Dir.Write("garbage", "not a recording");
    std::filesystem::copy_file(Dir.File("garbage"), path,
                               std::filesystem::copy_options::overwrite_existing);
    auto m = Make();
    EXPECT_FALSE(FileExists(path));
    std::string aside;
    for (const auto& e : std::filesystem::directory_iterator(ProgramDir()))
        if (e.path().filename().string().rfind("Quillet-", 0) == 0)
            aside = e.path().string();
    ASSERT_FALSE(aside.empty());
    EXPECT_EQ(aside.size(), path.size() + 16) << aside; // "-YYYYMMDD-HHMMSS"
    EXPECT_EQ(ReadWholeFile(aside), "not a recording");
    EXPECT_EQ(UiOf(m)->StatusBar1->currentMessage().toStdString(),
              "The last recording could not be read; it was moved to " + aside);
    EXPECT_STATES(*m, false, true, false, false, false, false, false);
    std::filesystem::remove(aside);
}

TEST_F(MainWindowTest, AFullDiskStopsTheTakeAndSaysSo) {
    auto m = Make();
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = 44 + 20000;
    setrlimit(RLIMIT_FSIZE, &limit);
    UiOf(m)->ActionVoiceRecord->trigger();
    const bool stopped = PumpUntil([&] { return m->VoiceState == vsIdle; });
    setrlimit(RLIMIT_FSIZE, &old);
    ASSERT_TRUE(stopped);
    ASSERT_EQ(Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(Dialogs.Boxes[0].Text,
              "Cannot write file \"" + TFormMain::RecordingFile() + "\". File too large.");
    EXPECT_EQ(Dialogs.Boxes[0].Icon, TMsgIcon::Error);
    EXPECT_STATES(*m, true, true, true, false, true, true, false);
    EXPECT_EQ(std::filesystem::file_size(TFormMain::RecordingFile()), 44u + 20000);
    TWAVFile wav;
    ASSERT_TRUE(wav.LoadFromFile(TFormMain::RecordingFile()));
    EXPECT_EQ(wav.FileSize, 44 + 20000) << "sizes of what was written";
}

int main(int argc, char** argv) {
    return RunWindowTests(argc, argv, true);
}
