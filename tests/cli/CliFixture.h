// The fixture of the quillet-send tests: a temporary directory with a WAV
// take, a settings file made from the usual values with some replaced, and
// runs of the program with its TMPDIR and outbox in that directory.
#pragma once

#include "tests/cli/CliChild.h"
#include "tests/support/TempDir.h"
#include "tests/support/audio_WavBytes.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        signal(SIGPIPE, SIG_IGN);
        Dir.Write("take.wav", WavBytes(1));
        std::filesystem::create_directory(Tmp());
    }
    std::string Tmp() const { return Dir.File("tmp"); }
    std::string Cache() const { return Dir.File("cache"); }
    // Where the runs keep their outbox.
    std::string Outbox() const { return Dir.File("outbox"); }
    // The settings file with these values in place of the usual ones
    // ("Section/Key" -> value).
    std::string SettingsText(std::map<std::string, std::string> values) const {
        const std::vector<std::pair<std::string, std::string>> keys = {
            {"Audio/SampleRate", "11025"}, {"Audio/BitPerSample", "16"},
            {"Audio/Level", "1"},          {"Audio/Denoise", "0"},
            {"User/Name", "Ann Example"},  {"User/Email", "ann@example.org"},
            {"User/SendType", "SMTP"},     {"SMTP/Server", "127.0.0.1"},
            {"SMTP/User", "user"},         {"SMTP/Password", "secret"},
            {"SMTP/Port", "25"},           {"SMTP/Security", "None"},
            {"SMTP/Timeout", "10"}};
        std::string text, section;
        for (const auto& [name, def] : keys) {
            std::string s = name.substr(0, name.find('/')), key = name.substr(s.size() + 1);
            if (s != section)
                text += "[" + (section = s) + "]\n";
            text += key + "=" + (values.count(name) ? values[name] : def) + "\n";
        }
        return text;
    }
    std::string Settings(std::map<std::string, std::string> values = {}) const {
        Dir.Write("quillet.ini", SettingsText(std::move(values)));
        return Dir.File("quillet.ini");
    }
    TCliResult Run(std::vector<std::string> args, TCliRun run = {}) const {
        run.Args = std::move(args);
        run.Env["TMPDIR"] = Tmp();
        run.Env["XDG_CACHE_HOME"] = Cache();
        run.Env.emplace("QUILLET_OUTBOX_DIR", Outbox());
        return RunCli(run);
    }
    // The working directories quillet-send left in its TMPDIR.
    size_t WorkDirsLeft() const {
        size_t n = 0;
        for (const auto& e : std::filesystem::directory_iterator(Tmp()))
            n += e.path().filename().string().rfind("quillet-send-", 0) == 0;
        return n;
    }

    TTempDir Dir;
};
