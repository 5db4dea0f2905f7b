// TNetLineOutput: where the message writer puts its text. The TCP
// connection implements it for the SMTP path; a buffered file writer for
// .eml files. Both must produce the same bytes for the same calls.
#pragma once

#include <cstddef>
#include <string>

class TNetLineOutput {
public:
    virtual ~TNetLineOutput() = default;
    // Writes text followed by CR LF.
    virtual void WriteLine(const std::string& text) = 0;
    // Writes text that already carries its own line ends.
    virtual void WriteText(const std::string& text) = 0;
    // Writes raw bytes; writeNow false lets them join an open write buffer.
    virtual void WriteBytes(const void* data, size_t count, bool writeNow) = 0;
    // Progress text for a status event ("Encoding text", ...); ignored by default.
    virtual void DoStatus(const std::string& /*text*/) {}
};
