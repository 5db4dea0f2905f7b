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

// Starts argv[0] (looked up like the program word) detached, without waiting.
// False when it cannot be started.
bool StartDetached(const std::vector<std::string>& argv);

// The desktop's "open" verb: xdg-open TARGET, detached; the result is ignored.
void ShellOpen(const std::string& target);
