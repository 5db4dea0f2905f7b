// TNetMessageClient: a TCP client that writes a message (TNetMessageWriter
// of mail/message) onto its own connection, as the data of an SMTP
// transaction. What reaches the wire is made unambiguous on the way: every
// line ends in CR LF (a bare CR or LF becomes CR LF) and a line that is
// exactly "." is doubled, so no content can end the data early. For the
// writer's own output, which already ends lines in CR LF and dot-stuffs,
// the bytes stay the same.
#pragma once

#include "base/NetLineOutput.h"
#include "net/NetTCPConnection.h"

#include <string>

class TNetMessage;

// The line-end and lone-dot guard between the writer and a connection.
class TNetDataLineOutput : public TNetLineOutput {
public:
    explicit TNetDataLineOutput(TNetTCPConnection& connection) : Connection(connection) {}

    void WriteLine(const std::string& text) override;
    void WriteText(const std::string& text) override;
    void WriteBytes(const void* data, size_t count, bool writeNow) override;
    void DoStatus(const std::string& text) override { Connection.DoStatus(text); }

    // Ends an unfinished last line with CR LF, so a "." sent next stands on
    // a line of its own.
    void Finish();

private:
    void Put(const char* data, size_t count, bool writeNow);
    void EndLine();
    TNetTCPConnection& Connection;
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
};
