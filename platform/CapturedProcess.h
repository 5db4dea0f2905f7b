// Running a helper program for its output: argv (the program looked up as
// FindProgram does), standard input on /dev/null, standard output and
// error read through pipes, a time limit, and a wait in short slices that
// gives the caller its chance (the window's events, a cancel). The helper
// and anything it started share one process group, ended together.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

struct TCapturedOutput {
    int ExitCode = -1;     // 0..255, or 128 + signal
    bool TimedOut = false; // ended by the time limit
    std::string Out, Err;  // at most MaxCapturedBytes each
};

constexpr size_t MaxCapturedBytes = 65536;

// Runs argv to its end or for at most timeoutMs (0: no limit). onSlice is
// called about every 10 ms; whatever it raises ends the helper and passes
// on. False when the program cannot be found or started.
bool RunCaptured(const std::vector<std::string>& argv, int timeoutMs,
                 const std::function<void()>& onSlice, TCapturedOutput& output);
