// The xdg-email stand-in; see mail_FakeXdgEmail.h.
#include "tests/support/mail_FakeXdgEmail.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace {

std::string FakeBinDir() {
    // Beside this source file; QUILLET_SOURCE_DIR wins when the tree moved.
    if (const char* src = std::getenv("QUILLET_SOURCE_DIR"))
        return std::string(src) + "/tests/support/fake-bin";
    std::string here = __FILE__;
    return here.substr(0, here.rfind('/') + 1) + "fake-bin";
}

} // namespace

TFakeXdgEmail::TFakeXdgEmail(int exitCode, int sleepSeconds)
    : ExitCode(exitCode), SleepSeconds(sleepSeconds) {}

TFakeXdgEmail::~TFakeXdgEmail() {
    if (State() != 0)
        ::kill(Pid(), SIGKILL);
    if (Installed) {
        setenv("PATH", OldPath.c_str(), 1);
        for (const auto& [name, value] : Env())
            if (name != "PATH")
                unsetenv(name.c_str());
    }
}

std::map<std::string, std::string> TFakeXdgEmail::Env() const {
    const char* path = std::getenv("PATH");
    std::string rest = Installed ? OldPath : path ? path : "/usr/bin:/bin";
    std::map<std::string, std::string> env = {
        {"PATH", FakeBinDir() + ":" + rest},
        {"FAKE_XDG_EMAIL_LOG", Dir.File("argv")},
        {"FAKE_XDG_EMAIL_EXIT", std::to_string(ExitCode)},
    };
    if (SleepSeconds > 0)
        env["FAKE_XDG_EMAIL_SLEEP"] = std::to_string(SleepSeconds);
    return env;
}

void TFakeXdgEmail::Install() {
    const char* path = std::getenv("PATH");
    OldPath = path ? path : "";
    unsetenv("FAKE_XDG_EMAIL_SLEEP");
    for (const auto& [name, value] : Env())
        setenv(name.c_str(), value.c_str(), 1);
    Installed = true;
}

bool TFakeXdgEmail::Ran() const {
    return ::access(Dir.File("argv").c_str(), F_OK) == 0;
}

std::vector<std::string> TFakeXdgEmail::Args() const {
    std::ifstream in(Dir.File("argv"), std::ios::binary);
    std::vector<std::string> args;
    std::string arg;
    while (std::getline(in, arg, '\0'))
        args.push_back(arg);
    return args;
}

pid_t TFakeXdgEmail::Pid() const {
    pid_t pid = -1;
    std::ifstream(Dir.File("argv.pid")) >> pid;
    return pid > 0 ? pid : -1;
}

char TFakeXdgEmail::State() const {
    const pid_t pid = Pid();
    if (pid <= 0)
        return 0;
    // "PID (comm) S ...": the state follows the last ")".
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() ? stat[close + 2] : 0;
}

bool TFakeXdgEmail::EndAndAwaitGone(int timeoutMs) {
    if (State() == 0)
        return true;
    ::kill(Pid(), SIGTERM);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (State() != 0) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
