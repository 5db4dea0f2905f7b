// The message writer on a connection, with the data guard of SMTP DATA
// (RFC 5321 section 4.5.2: transparency; section 2.3.8: CR LF only).
#include "smtp/NetMessageClient.h"

#include "base/Stream.h"
#include "mail/message/NetMessage.h"
#include "mail/message/NetMessageWriter.h"

#include <cstring>
#include <vector>

void TNetDataLineOutput::WriteLine(const std::string& text) {
    Put(text.data(), text.size(), false);
    Put("\r\n", 2, false);
}

void TNetDataLineOutput::WriteText(const std::string& text) {
    Put(text.data(), text.size(), false);
}

void TNetDataLineOutput::WriteBytes(const void* data, size_t count, bool writeNow) {
    Put(static_cast<const char*>(data), count, writeNow);
}

void TNetDataLineOutput::EndLine() {
    if (HeldDot) {
        Out += "..";
        HeldDot = false;
    }
    Out += "\r\n";
    AtLineStart = true;
}

void TNetDataLineOutput::Put(const char* p, size_t n, bool writeNow) {
    size_t i = 0;
    while (i < n) {
        if (PendingCR) {
            PendingCR = false;
            EndLine(); // a CR LF pair, or a bare CR made into one
            if (p[i] == '\n')
                ++i;
            continue;
        }
        const char c = p[i];
        if (c == '\r') {
            PendingCR = true;
            ++i;
            continue;
        }
        if (c == '\n') { // bare LF
            EndLine();
            ++i;
            continue;
        }
        if (HeldDot) {
            Out += '.';
            HeldDot = false;
        } else if (AtLineStart && c == '.') {
            if (StuffEveryDot) {
                Out += '.'; // the line's own dot follows with the rest
            } else {
                HeldDot = true;
                AtLineStart = false;
                ++i;
                continue;
            }
        }
        AtLineStart = false;
        // Copy up to the next CR or LF in one piece.
        const char* lf = static_cast<const char*>(std::memchr(p + i, '\n', n - i));
        size_t end = lf ? static_cast<size_t>(lf - p) : n;
        const char* cr = static_cast<const char*>(std::memchr(p + i, '\r', end - i));
        if (cr)
            end = static_cast<size_t>(cr - p);
        Out.append(p + i, end - i);
        i = end;
    }
    if (!Out.empty()) {
        Sink.WriteBytes(Out.data(), Out.size(), writeNow);
        Out.clear();
    }
}

void TNetDataLineOutput::Finish() {
    if (PendingCR || HeldDot || !AtLineStart) {
        PendingCR = false;
        EndLine();
    }
    if (!Out.empty()) {
        Sink.WriteBytes(Out.data(), Out.size(), false);
        Out.clear();
    }
}

void TNetMessageClient::WriteMessage(TNetMessage& message, bool headersOnly) {
    TNetDataLineOutput out(*this);
    TNetMessageWriter(out).WriteMessage(message, headersOnly);
    out.Finish();
}

void TNetMessageClient::WriteStoredText(TStream& text) {
    TNetDataLineOutput out(*this, true);
    std::vector<char> buffer(65536);
    while (size_t n = text.Read(buffer.data(), buffer.size()))
        out.WriteBytes(buffer.data(), n, false);
    out.Finish();
}
