// The access token from a helper program of the user's (a token helper of
// an existing mail setup, a password manager's command line): its command
// line split like a shell's (platform/ShellWords.h) but never run through
// one; the first line it prints is the token. A non-zero exit, an empty
// first line or no answer within the limit stops the send with what the
// helper wrote to its error output.
#pragma once

#include <functional>
#include <string>

constexpr int DefaultTokenCommandTimeoutMs = 60000;

// Runs commandLine and returns the token. onSlice: as for RunCaptured (the
// window's events, a cancel). Raises EOAuthError.
std::string RunTokenCommand(const std::string& commandLine, int timeoutMs,
                            const std::function<void()>& onSlice);
