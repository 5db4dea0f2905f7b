// A stand-in for xdg-email (fake-bin/xdg-email beside this file) for the
// tests that hand mail to the default client: it records its arguments and
// then exits with a chosen status, or stays running as xdg-email does while
// the client it started is open. Put on PATH in this process (Install) or
// passed to a child process (Env).
#pragma once

#include "tests/support/TempDir.h"

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

class TFakeXdgEmail {
public:
    // exitCode: its status when it ends at once; sleepSeconds > 0: it runs
    // that long instead.
    explicit TFakeXdgEmail(int exitCode = 0, int sleepSeconds = 0);
    // Kills a stand-in still running and undoes Install.
    ~TFakeXdgEmail();
    TFakeXdgEmail(const TFakeXdgEmail&) = delete;
    TFakeXdgEmail& operator=(const TFakeXdgEmail&) = delete;

    // Puts the stand-in first on PATH of this process, with its settings.
    void Install();
    // The variables a child process needs for the same (PATH among them).
    std::map<std::string, std::string> Env() const;

    bool Ran() const;
    // Its arguments, without argv[0].
    std::vector<std::string> Args() const;
    // Its process id; -1 before it started.
    pid_t Pid() const;
    // Its state letter from /proc ('S' sleeping, 'Z' a zombie nobody
    // reaped), or 0 when the process is gone.
    char State() const;
    // Ends a stand-in still running with SIGTERM and waits up to timeoutMs
    // for it to be gone; false when it stays (a zombie, say).
    bool EndAndAwaitGone(int timeoutMs);

private:
    TTempDir Dir;
    int ExitCode, SleepSeconds;
    bool Installed = false;
    std::string OldPath;
};
