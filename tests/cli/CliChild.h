// Runs quillet-send (or a copy of it) as a child process the way a user's
// shell would: argv without a shell, no display, an environment the test
// adjusts, standard input from a file, standard output and error captured,
// a file size limit, a time limit.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

struct TCliResult {
    int Status = -1; // exit status, 128 + signal, or -1 when it could not start
    std::string Out, Err;
};

struct TCliRun {
    std::string Program = QUILLET_SEND_PATH;
    std::vector<std::string> Args;
    // Variables to set; nullopt removes one. DISPLAY, WAYLAND_DISPLAY and
    // QUILLET_SETTINGS_FILE are removed unless set here.
    std::map<std::string, std::optional<std::string>> Env;
    // Called once the child runs (to signal it, say).
    std::function<void(pid_t)> WhileRunning;
    std::string Stdin = "/dev/null";
    // RLIMIT_FSIZE of the child in bytes (through prlimit(1)); 0: none.
    long FileSizeLimit = 0;
    int TimeLimitMs = 60000;
};

TCliResult RunCli(const TCliRun& run);
