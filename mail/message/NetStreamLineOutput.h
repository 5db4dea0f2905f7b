// TNetStreamLineOutput: the line output of .eml files and streams. It
// collects the writer's text in memory and passes it to the stream in pieces
// of at least 32768 bytes (and at Flush), so a message costs one write per
// piece, not one per line. TNetLineOutputStream is the other direction: a
// write-only stream over a line output, for the attachment encoders.
#pragma once

#include "base/NetLineOutput.h"
#include "base/Stream.h"

#include <string>

class TNetStreamLineOutput : public TNetLineOutput {
public:
    static constexpr size_t DefaultPieceSize = 32768;

    explicit TNetStreamLineOutput(TStream& target, size_t pieceSize = DefaultPieceSize);
    void WriteLine(const std::string& text) override;
    void WriteText(const std::string& text) override;
    void WriteBytes(const void* data, size_t count, bool writeNow) override;
    // Passes everything pending to the stream.
    void Flush();

private:
    void Append(const char* data, size_t count) {
        Buffer.append(data, count);
        if (Buffer.size() >= PieceSize)
            Flush();
    }

    TStream& Target;
    const size_t PieceSize;
    std::string Buffer;
};

class TNetLineOutputStream : public TStream {
public:
    explicit TNetLineOutputStream(TNetLineOutput& output) : Output(output) {}
    size_t Read(void*, size_t) override { return 0; }
    // Hands the bytes to the output's write buffer (write-now false).
    void Write(const void* buffer, size_t count) override {
        Output.WriteBytes(buffer, count, false);
    }
    int64_t Seek(int64_t, TSeekOrigin) override { return 0; }

private:
    TNetLineOutput& Output;
};
