// Starting programs: run-and-wait for the external encoder and the
// detached desktop "open" (xdg-open). Command lines are split into argv
// (blanks separate words, double quotes group them) and never pass through
// a shell. The program word is looked up in the program's directory, then
// on PATH, as given and then without a trailing ".exe".
#pragma once

#include <string>
#include <vector>

// Splits a command line into words.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Resolves the program word to a file that can be executed; empty when none.
std::string FindProgram(const std::string& word);

// Runs the command line with stdin/stdout/stderr on /dev/null and waits for
// it without a time limit. workDir empty keeps the current directory.
// Returns -1 when the process cannot be started, otherwise 0; the exit
// status (0..255, or 128 + signal) goes to *exitCode when given.
int RunAndWait(const std::string& commandLine, const std::string& workDir = std::string(),
               int* exitCode = nullptr);

// A started process that the caller waits for in its own way (the send
// workflow polls it so the window stays serviced). The destructor of the
// owner must Terminate a process it no longer wants.
class TChildProcess {
public:
    TChildProcess() = default;
    ~TChildProcess(); // terminates and reaps a process still running
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    // Starts the command line like RunAndWait; false when it cannot start.
    bool Start(const std::string& commandLine, const std::string& workDir = std::string());
    // Non-blocking: true once the process has ended (its status then in ExitCode()).
    bool Poll();
    // SIGTERM, then SIGKILL after graceMs; reaps the process. No-op when ended.
    void Terminate(int graceMs = 500);
    // The read position of the process in the file at path (from
    // /proc/PID/fdinfo), or -1 when the file is not open there.
    long long FilePosition(const std::string& path) const;

    bool Running() const { return FPid > 0; }
    int ExitCode() const { return FExitCode; }

private:
    int FPid = -1;
    int FExitCode = 0;
};

// Starts argv[0] (looked up like the program word) detached, without waiting.
// False when it cannot be started.
bool StartDetached(const std::vector<std::string>& argv);

// The desktop's "open" verb: xdg-open TARGET, detached; the result is ignored.
void ShellOpen(const std::string& target);
