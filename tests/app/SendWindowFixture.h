// The fixture of the window tests that send: the settings file, the
// outbox and the resolver configuration in a temporary directory, the main
// and wait windows, a take recorded through the ALSA file plugins from a
// FIFO fed at a device's pace, the fields filled, and the message boxes
// answered and kept.
#pragma once

#include "app/FormMain.h"
#include "app/FormWait.h"
#include "audio/WAVFile.h"
#include "platform/Program.h"
#include "tests/app/FormMainAccess.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/support/TempDir.h"
#include "tests/support/audio_PacedFixture.h"
#include "ui_FormMain.h"

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class TSendWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("QUILLET_SETTINGS_FILE", Dir.File("quillet.ini").c_str(), 1);
        setenv("QUILLET_OUTBOX_DIR", Dir.File("outbox").c_str(), 1);
        // A take lasts as long as it is recorded, as from a sound card.
        Capture = std::make_unique<TPacedFixture>(Dir.File("capture.fifo"));
        setenv("QUILLET_ALSA_INFILE", Dir.File("capture.fifo").c_str(), 1);
        Dir.Write("resolv.conf", "nameserver 127.0.0.1\n");
        setenv("QUILLET_RESOLV_CONF", Dir.File("resolv.conf").c_str(), 1);
        setenv("XDG_CACHE_HOME", Dir.File("cache").c_str(), 1);
        std::remove(FakeEncoder().c_str());
    }
    void TearDown() override {
        SetFormWait(nullptr);
        Wait.reset();
        Main.reset();
        std::remove(FakeEncoder().c_str());
        unsetenv("QUILLET_ALSA_INFILE");
        Capture.reset();
        DeleteFile(TFormMain::RecordingFile());
        DeleteFile(TFormMain::EncodedFile());
    }
    static std::string FakeEncoder() { return ProgramDir() + "lame.exe"; }

    void Settings(const std::string& sendType, const std::string& server = "", int port = 25) {
        Dir.Write("quillet.ini",
                  // The voice processing is the workflow tests' (tests/workflow).
                  "[Audio]\nSampleRate=11025\nBitPerSample=8\nLevel=0\n[User]\nName=Ann "
                  "Example\n"
                  "Email=ann@example.org\nSendType=" +
                      sendType + "\n[SMTP]\nServer=" + server +
                      "\nUser=user\nPassword=secret\nPort=" + std::to_string(port) +
                      "\nSecurity=None\n");
    }
    TFormMain& Make() {
        Main = std::make_unique<TFormMain>();
        Wait = std::make_unique<TFormWait>(Main.get());
        SetFormWait(Wait.get());
        return *Main;
    }
    void RecordTake(int ms = 200) {
        UiOf(Main)->ActionVoiceRecord->trigger();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        UiOf(Main)->ActionVoiceStop->trigger();
    }
    // Waits, serving the window, until the running take holds sound.
    static void WaitForSound() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        std::error_code e;
        while (std::filesystem::file_size(TFormMain::RecordingFile(), e) <= 44 &&
               std::chrono::steady_clock::now() < end) {
            QApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void Fill(const std::string& to, const std::string& cc = "") {
        UiOf(Main)->EditTo->setText(QString::fromStdString(to));
        UiOf(Main)->EditCc->setText(QString::fromStdString(cc));
        UiOf(Main)->EditSubject->setText("Voice note");
        UiOf(Main)->MemoContent->setPlainText("Hello Bob,\n.\nlisten to this.");
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (const TShownBox& b : Dialogs.Boxes)
            t.push_back(b.Text);
        return t;
    }
    double RecordingSeconds() const {
        TWAVFile wav;
        wav.LoadFromFile(TFormMain::RecordingFile());
        return wav.Duration();
    }

    TTempDir Dir;
    std::unique_ptr<TPacedFixture> Capture;
    TScriptedDialogs Dialogs;
    std::unique_ptr<TFormMain> Main;
    std::unique_ptr<TFormWait> Wait;
};
