// What quillet-send tells its user on standard error: the workflow's wait
// texts with a percentage, only when standard error is a terminal (a log
// file gets no progress noise), and its messages and errors always, each
// line prefixed with the program name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class TConsoleReport {
public:
    // interactive: show wait texts and progress (normally isatty(2)).
    TConsoleReport(std::FILE* out, bool interactive);

    void WaitText(const std::string& text);
    void Progress(int64_t done, int64_t total);
    void HideWait();
    // A message or error; CR LF inside it becomes one line break.
    void Message(const std::string& text);

private:
    void EndStatusLine();

    std::FILE* Out;
    bool Interactive;
    bool LineOpen = false;
    std::string Status;
    int Percent = -1;
};
