// Buffered stream line output; see NetStreamLineOutput.h.
#include "mail/message/NetStreamLineOutput.h"

TNetStreamLineOutput::TNetStreamLineOutput(TStream& target, size_t pieceSize)
    : Target(target), PieceSize(pieceSize) {
    Buffer.reserve(pieceSize + 4096);
}

void TNetStreamLineOutput::WriteLine(const std::string& text) {
    Buffer += text;
    Buffer += "\r\n";
    if (Buffer.size() >= PieceSize)
        Flush();
}

void TNetStreamLineOutput::WriteText(const std::string& text) {
    Append(text.data(), text.size());
}

void TNetStreamLineOutput::WriteBytes(const void* data, size_t count, bool writeNow) {
    Append(static_cast<const char*>(data), count);
    if (writeNow)
        Flush();
}

void TNetStreamLineOutput::Flush() {
    if (Buffer.empty())
        return;
    Target.Write(Buffer.data(), Buffer.size());
    Buffer.clear();
}
