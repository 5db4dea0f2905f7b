// The message writer; see NetMessageWriter.h. Body text that is not 7-bit,
// or has a line longer than 998 octets, is sent quoted-printable with the
// header charset (RFC 2045 forbids either under "7bit"; RFC 5322 2.1.1). Body lines are split at CR
// LF and also at a lone CR or LF, so that no bare line end reaches the wire unstuffed.
#include "mail/message/NetMessageWriter.h"

#include "base/NetException.h"
#include "base/Text.h"
#include "base/Translate.h"
#include "mail/message/NetEncoders.h"
#include "mail/message/NetMessage.h"
#include "mail/message/NetStreamLineOutput.h"
#include "platform/Program.h"

#include <string_view>
#include <vector>

namespace {

const char* const Preamble = "This is a multi-part message in MIME format";

// The lines of one body entry: split at CR LF, CR or LF; a final line end
// leaves an empty last line.
std::vector<std::string_view> SplitLines(std::string_view entry) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (;;) {
        size_t end = entry.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(entry.substr(start));
            return lines;
        }
        lines.push_back(entry.substr(start, end - start));
        start =
            end + (entry[end] == '\r' && end + 1 < entry.size() && entry[end + 1] == '\n' ? 2 : 1);
    }
}

// The longest line a message may hold, without its CR LF.
constexpr size_t MaxLineLength = 998;

// 7-bit text in lines of at most MaxLineLength octets.
bool FitsSevenBit(const std::vector<std::string>& body) {
    for (const std::string& entry : body) {
        for (unsigned char c : entry)
            if (c > 0x7E || c == 0)
                return false;
        for (std::string_view line : SplitLines(entry))
            if (line.size() > MaxLineLength)
                return false;
    }
    return true;
}

// Part fields are written into the header lines of the part unencoded.
void CheckParts(const TNetMessageParts& parts) {
    for (int i = 0; i < parts.Count(); ++i) {
        const TNetMessagePart& part = parts[i];
        CheckHeaderLines(part.ExtraHeaders, "part header");
        CheckHeaderValue("Content-Type", part.ContentType());
        CheckHeaderValue("Content-Transfer-Encoding", part.ContentTransfer());
        if (auto* att = dynamic_cast<const TNetAttachment*>(&part)) {
            CheckHeaderValue("Content-Disposition", att->ContentDisposition());
            if (att->FileName.find_first_of("\r\n\"") != std::string::npos)
                throw ENetMessageException(
                    Tr("NetMessage", "Line break or quote in attachment file name \"%1\".")
                        .Arg(att->FileName));
        }
    }
}

} // namespace

void TNetMessageWriter::WriteStuffed(const std::string& line) {
    if (DotStuffing && !line.empty() && line[0] == '.')
        Out.WriteLine("." + line);
    else
        Out.WriteLine(line);
}

void TNetMessageWriter::WriteEncodedLines(const std::string& encoded, size_t first) {
    std::string_view text = encoded;
    if (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n")
        text.remove_suffix(2);
    std::vector<std::string_view> lines = SplitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i >= first)
            WriteStuffed(std::string(lines[i]));
        else
            Out.WriteLine(std::string(lines[i]));
    }
}

void TNetMessageWriter::WriteMessage(TNetMessage& message, bool headersOnly) {
    if (message.NoEncode) {
        CheckHeaderLines(message.RawHeaders, "raw header");
        for (const std::string& line : message.RawHeaders.Lines)
            Out.WriteLine(line);
        Out.WriteLine("");
        if (!headersOnly)
            for (const std::string& entry : message.Body)
                Out.WriteLine(entry);
        return;
    }
    CheckParts(message.Parts);
    WriteHeader(message);
    Out.WriteLine("");
    if (!headersOnly)
        WriteBody(message);
}

void TNetMessageWriter::WriteHeader(TNetMessage& message) {
    const TNetHeaderList header = message.BuildHeader();
    Coding = message.HeaderCoding;
    for (const std::string& line : header.Lines)
        Out.WriteLine(line);
}

void TNetMessageWriter::WriteBodyText(TNetMessage& message) {
    for (const std::string& entry : message.Body)
        for (std::string_view line : SplitLines(entry))
            WriteStuffed(std::string(line));
}

void TNetMessageWriter::WriteTextPart(TNetText& part) {
    if (part.ContentType().empty())
        part.SetContentType("text/plain");
    if (part.ContentTransfer().empty())
        part.SetContentTransfer("quoted-printable");
    const std::string transfer = part.ContentTransfer();
    Out.WriteLine("Content-Type: " + part.ContentType());
    Out.WriteLine("Content-Transfer-Encoding: " + transfer);
    for (const std::string& line : part.ExtraHeaders.Lines)
        Out.WriteLine(line);
    Out.WriteLine("");
    const TNetEncoderQuotedPrintable qp;
    for (const std::string& line : part.Body) {
        if (SameText(transfer, "quoted-printable")) {
            std::string encoded = qp.Encode(
                (DotStuffing && !line.empty() && line[0] == '.' ? "." : "") + line + "\r\n");
            if (Coding.Transfer == TTransfer::iso2022jp)
                encoded = ConvertToJis(encoded);
            // The first line is stuffed before encoding; a soft-broken
            // continuation that starts with "." needs it too.
            WriteEncodedLines(encoded, 1);
        } else {
            WriteStuffed(line);
        }
    }
    Out.WriteLine("");
}

void TNetMessageWriter::WritePlainTextPart(TNetMessage& message) {
    if (FitsSevenBit(message.Body)) {
        Out.WriteLine("Content-Type: text/plain");
        Out.WriteLine("Content-Transfer-Encoding: 7bit");
        Out.WriteLine("");
        WriteBodyText(message);
        return;
    }
    Out.WriteLine("Content-Type: text/plain; charset=\"" + Coding.CharSet + "\"");
    Out.WriteLine("Content-Transfer-Encoding: quoted-printable");
    Out.WriteLine("");
    const TNetEncoderQuotedPrintable qp;
    for (const std::string& entry : message.Body)
        for (std::string_view view : SplitLines(entry)) {
            std::string line(view);
            if (Coding.Transfer == TTransfer::iso2022jp)
                line = ConvertToJis(line);
            WriteEncodedLines(qp.Encode(line + "\r\n"), 0);
        }
}

void TNetMessageWriter::WriteAttachments(TNetMessage& message, bool mime,
                                         const std::string& boundary) {
    TNetMessageParts& parts = message.Parts;
    for (int i = 0; i < parts.Count(); ++i) {
        auto* att = dynamic_cast<TNetAttachment*>(&parts[i]);
        if (!att)
            continue;
        Out.DoStatus("Encoding attachment");
        if (mime) {
            Out.WriteLine("");
            Out.WriteLine("--" + boundary);
            if (att->ContentTransfer().empty())
                att->SetContentTransfer("base64");
            if (att->ContentDisposition().empty())
                att->SetContentDisposition("attachment");
            if (att->ContentTransfer() == "base64" && att->ContentType().empty())
                att->SetContentType("application/octet-stream");
            const std::string name = ExtractFileName(att->FileName);
            Out.WriteLine("Content-Type: " + att->ContentType() + ";");
            Out.WriteLine("        name=\"" + name + "\"");
            Out.WriteLine("Content-Transfer-Encoding: " + att->ContentTransfer());
            Out.WriteLine("Content-Disposition: " + att->ContentDisposition() + ";");
            Out.WriteLine("        filename=\"" + name + "\"");
            for (const std::string& line : att->ExtraHeaders.Lines)
                Out.WriteLine(line);
            Out.WriteLine("");
        }
        std::unique_ptr<TNetMessageEncoder> encoder = parts.CreateAttachmentEncoder();
        encoder->FileName = att->FileName;
        TFileStream source(att->SourcePath, TFileStream::Mode::OpenRead);
        TNetLineOutputStream dest(Out);
        encoder->Encode(source, dest);
        Out.WriteLine("");
    }
}

void TNetMessageWriter::WriteBody(TNetMessage& message) {
    CheckParts(message.Parts);
    Coding = message.HeaderCoding;
    TNetMessageParts& parts = message.Parts;
    const TNetBoundaries& b = message.Boundaries;
    const bool mime = message.Encoding() == TNetMessageEncoding::meMIME;
    if (parts.AttachmentCount == 0 && parts.TextPartCount <= 1) {
        Out.DoStatus("Encoding text");
        if (Coding.Transfer == TTransfer::iso2022jp) {
            for (const std::string& entry : message.Body)
                for (std::string_view line : SplitLines(entry))
                    WriteStuffed(ConvertToJis(std::string(line)));
        } else {
            WriteBodyText(message);
        }
        return;
    }
    if (parts.AttachmentCount == 0) {
        Out.WriteLine(Preamble);
        Out.WriteLine("");
        for (int i = 0; i < parts.Count(); ++i)
            if (auto* text = dynamic_cast<TNetText*>(&parts[i])) {
                Out.WriteLine("--" + b.Mixed);
                Out.DoStatus("Encoding text");
                WriteTextPart(*text);
            }
        Out.WriteLine("--" + b.Mixed + "--");
        return;
    }
    const std::string boundary = parts.RelatedPartCount > 0 ? b.Related : b.Mixed;
    if (mime) {
        Out.WriteLine(Preamble);
        Out.WriteLine("");
        Out.WriteLine("--" + boundary);
    } else {
        WriteBodyText(message);
        Out.WriteLine("");
    }
    if (parts.TextPartCount >= 2) {
        Out.WriteLine("Content-Type: multipart/alternative; ");
        Out.WriteLine("        boundary=\"" + b.Alternative + "\"");
        Out.WriteLine("");
        for (int i = 0; i < parts.Count(); ++i)
            if (auto* text = dynamic_cast<TNetText*>(&parts[i])) {
                Out.WriteLine("--" + b.Alternative);
                Out.DoStatus("Encoding text");
                WriteTextPart(*text);
                Out.WriteLine("");
            }
        Out.WriteLine("--" + b.Alternative + "--");
    } else if (mime) {
        WritePlainTextPart(message);
    }
    WriteAttachments(message, mime, boundary);
    if (mime)
        Out.WriteLine("--" + boundary + "--");
}
