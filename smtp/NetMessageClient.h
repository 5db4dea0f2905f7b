// TNetMessageClient: a TCP client that writes a message (TNetMessageWriter
// of mail/message) or stored message text (an .eml) onto its own
// connection, as the data of an SMTP transaction. What reaches the wire is
// made unambiguous on the way: every line ends in CR LF (a bare CR or LF
// becomes CR LF) and a line that is exactly "." is doubled, so no content
// can end the data early. For the writer's own output, which already ends
// lines in CR LF and dot-stuffs, the bytes stay the same; stored text,
// written as a reader sees it, gets every leading "." doubled.
#pragma once

#include "base/NetLineOutput.h"
#include "net/NetTCPConnection.h"

#include <string>

class TNetMessage;
class TStream;

// The line-end and lone-dot guard between the writer and a connection (or
// any output: one that counts learns the size of what would go).
// stuffEveryDot: the text is not dot-stuffed yet (RFC 5321 4.5.2), so every
// line that begins with "." gets one more.
class TNetDataLineOutput : public TNetLineOutput {
public:
    explicit TNetDataLineOutput(TNetLineOutput& sink, bool stuffEveryDot = false)
        : Sink(sink), StuffEveryDot(stuffEveryDot) {}

    void WriteLine(const std::string& text) override;
    void WriteText(const std::string& text) override;
    void WriteBytes(const void* data, size_t count, bool writeNow) override;
    void DoStatus(const std::string& text) override { Sink.DoStatus(text); }

    // Ends an unfinished last line with CR LF, so a "." sent next stands on
    // a line of its own.
    void Finish();

private:
    void Put(const char* data, size_t count, bool writeNow);
    void EndLine();
    TNetLineOutput& Sink;
    const bool StuffEveryDot;
    std::string Out;
    bool AtLineStart = true;
    bool HeldDot = false;   // a "." at line start, not yet known to be alone
    bool PendingCR = false; // a CR, not yet known to be followed by LF
};

class TNetMessageClient : public TNetTCPClient {
public:
    // The write buffer is opened around the message text with this flush
    // size: large writes instead of one per line, same bytes on the wire.
    static constexpr int32_t MessageWriteBlock = 262144;

    // Writes the message (or its header block) on this connection, through
    // the data guard; leaves the final "." to the caller.
    void WriteMessage(TNetMessage& message, bool headersOnly);
    // Writes stored message text, read from text to its end, through the
    // data guard with every leading "." doubled; leaves the final "." to the
    // caller.
    void WriteStoredText(TStream& text);
};
