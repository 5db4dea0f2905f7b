// Status line and messages on standard error; see ConsoleReport.h.
#include "cli/ConsoleReport.h"

TConsoleReport::TConsoleReport(std::FILE* out, bool interactive)
    : Out(out), Interactive(interactive) {}

void TConsoleReport::WaitText(const std::string& text) {
    if (!Interactive)
        return;
    EndStatusLine();
    Status = text;
    Percent = -1;
    std::fputs(text.c_str(), Out);
    std::fflush(Out);
    LineOpen = true;
}

void TConsoleReport::Progress(int64_t done, int64_t total) {
    if (!Interactive || total <= 0 || !LineOpen)
        return;
    int percent = static_cast<int>(done * 100 / total);
    if (percent == Percent)
        return;
    Percent = percent;
    // Rewrites the line; the text stays, the number only grows or repeats.
    std::fprintf(Out, "\r%s %d%%", Status.c_str(), percent);
    std::fflush(Out);
}

void TConsoleReport::HideWait() {
    EndStatusLine();
}

void TConsoleReport::Message(const std::string& text) {
    EndStatusLine();
    std::string line = "quillet-send: ";
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        line += text[i];
    }
    while (!line.empty() && line.back() == '\n')
        line.pop_back();
    line += '\n';
    std::fputs(line.c_str(), Out);
    std::fflush(Out);
}

void TConsoleReport::EndStatusLine() {
    if (LineOpen)
        std::fputc('\n', Out);
    LineOpen = false;
}
