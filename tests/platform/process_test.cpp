// Starting programs: lookup order (the program's folder, PATH, the ".exe"
// fallback), argv without a shell, waiting for the end, and the detached
// "open".
#include "platform/Process.h"
#include "platform/Program.h"
#include "tests/support/TempDir.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

namespace {

// Puts dir first on PATH for the life of the object.
class TPathPrefix {
public:
    explicit TPathPrefix(const std::string& dir)
        : Old(std::getenv("PATH") ? std::getenv("PATH") : "") {
        setenv("PATH", (dir + ":" + Old).c_str(), 1);
    }
    ~TPathPrefix() { setenv("PATH", Old.c_str(), 1); }

private:
    std::string Old;
};

std::string Script(const std::string& body) {
    return "#!/bin/sh\n" + body + "\n";
}

} // namespace

TEST(Process, SplitCommandLineKeepsQuotedWordsTogether) {
    EXPECT_EQ(SplitCommandLine("lame.exe Quillet.wav Quillet.mp3"),
              (std::vector<std::string>{"lame.exe", "Quillet.wav", "Quillet.mp3"}));
    EXPECT_EQ(SplitCommandLine("  a \"b c\"  \"\" d"),
              (std::vector<std::string>{"a", "b c", "", "d"}));
}

TEST(Process, LookupOrder) {
    TTempDir onPath;
    onPath.Write("quillet-lookup-probe", Script("exit 0"), 0755);
    onPath.Write("tool", Script("exit 0"), 0755);
    TPathPrefix prefix(onPath.Path());
    EXPECT_EQ(FindProgram("quillet-lookup-probe"), onPath.File("quillet-lookup-probe"));
    EXPECT_EQ(FindProgram("tool.EXE"), onPath.File("tool")) << "without the suffix, in any case";
    EXPECT_EQ(FindProgram("TOOL.EXE"), "") << "the name itself keeps its letter case";
    EXPECT_EQ(RunAndWait("quillet-no-such-program-anywhere arg"), -1);
    EXPECT_EQ(RunAndWait(""), -1);

    const std::string beside = ProgramDir() + "quillet-lookup-probe";
    TTempDir scratch;
    scratch.Write("x", Script("exit 0"), 0755);
    ASSERT_EQ(std::rename(scratch.File("x").c_str(), beside.c_str()), 0);
    EXPECT_EQ(FindProgram("quillet-lookup-probe"), beside) << "the program's folder comes first";
    std::remove(beside.c_str());
}

TEST(Process, RunAndWaitReturnsOnlyAfterTheChildEndedAndPassesArgvUnchanged) {
    TTempDir dir;
    dir.Write(
        "probe",
        Script("sleep 0.3\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$PWD/args\"\nexit 3"),
        0755);
    TPathPrefix prefix(dir.Path());
    int code = -5;
    ASSERT_EQ(RunAndWait("probe one \"two words\" $(echo) ;x", dir.Path(), &code), 0);
    // The file exists at once: the call waited; the working directory was used.
    EXPECT_EQ(dir.Read("args"), "[one][two words][$(echo)][;x]");
    EXPECT_EQ(code, 3);
}

TEST(Process, ShellOpenHandsTheTargetToXdgOpen) {
    TTempDir dir;
    dir.Write("xdg-open",
              Script("printf '%s|' \"$@\" > \"" + dir.File("seen.tmp") + "\"; mv \"" +
                     dir.File("seen.tmp") + "\" \"" + dir.File("seen") + "\""),
              0755);
    TPathPrefix prefix(dir.Path());
    ShellOpen("mailto:support@quillet.example?subject=a b;$(x)");
    std::string seen;
    for (int i = 0; i < 200 && seen.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        seen = dir.Read("seen");
    }
    EXPECT_EQ(seen, "mailto:support@quillet.example?subject=a b;$(x)|");
}
