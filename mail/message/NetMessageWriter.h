// TNetMessageWriter: writes a TNetMessage as mail text (RFC 2822, MIME RFC
// 2045-2046) through a TNetLineOutput: the header block, an empty line and
// the body with its boundaries, text parts and base64 attachments. The file
// destination is TNetMessage::WriteToFile; the connection is net/'s.
//
// How the SMTP path calls it (TNetMessageClient over its TCP connection),
// after the server's 354 reply to "DATA":
//   1. message.ExtraHeaders.SetHeader("X-Mailer", MailAgent);
//   2. TNetMessageWriter(connection).WriteMessage(message, false);
//   3. the client itself sends the line "." and reads the 250 reply. It must
//      not send "." when WriteMessage raised (missing attachment file,
//      refused header line): the message is then incomplete.
// For a connection the writer dot-stuffs every body line it writes (a line
// that begins with "." gets one more in front), so the connection sends the
// text unchanged; for a file (dotStuffing false) it writes the lines as a
// mail program reads them. Nothing else differs between the two.
// Every line ends in CR LF: WriteLine's text gets CR LF from the connection;
// WriteText and WriteBytes already carry their CR LF. Attachment lines come
// through WriteBytes with writeNow false and may join a write buffer.
#pragma once

#include "base/NetLineOutput.h"
#include "mail/message/NetHeaderCoder.h"

#include <string>

class TNetMessage;
class TNetText;

class TNetMessageWriter {
public:
    explicit TNetMessageWriter(TNetLineOutput& output, bool dotStuffing = true)
        : Out(output), DotStuffing(dotStuffing) {}

    // The whole message, or only its header block and the empty line after
    // it. Checks the parts and builds the header before writing anything.
    void WriteMessage(TNetMessage& message, bool headersOnly);
    // The lines of message.BuildHeader().
    void WriteHeader(TNetMessage& message);
    // Everything after the empty line that ends the header.
    void WriteBody(TNetMessage& message);
    // message.Body line by line, dot-stuffed for a connection.
    void WriteBodyText(TNetMessage& message);
    // One text part: its headers, an empty line, its encoded body, an empty
    // line. Fills an empty Content-Type / Content-Transfer-Encoding.
    void WriteTextPart(TNetText& part);

private:
    void WriteStuffed(const std::string& line);
    // Quoted-printable text split into lines, each dot-stuffed from index
    // first on.
    void WriteEncodedLines(const std::string& encoded, size_t first);
    // The text/plain part before the attachments.
    void WritePlainTextPart(TNetMessage& message);
    void WriteAttachments(TNetMessage& message, bool mime, const std::string& boundary);

    TNetLineOutput& Out;
    const bool DotStuffing;
    // The header coding of the message being written (set by WriteHeader
    // and WriteBody from the message).
    TNetHeaderCoding Coding;
};
