// TNetMessage: the mail message in memory (header fields, body lines, parts,
// address and header lists) and the header block built from it (RFC 2822,
// MIME RFC 2045-2047). Writing the body is TNetMessageWriter's; sending it
// is the SMTP client's (smtp/).
#pragma once

#include "base/Stream.h"
#include "mail/message/NetBoundary.h"
#include "mail/message/NetEMailAddress.h"
#include "mail/message/NetHeaderCoder.h"
#include "mail/message/NetHeaderList.h"
#include "mail/message/NetMessageParts.h"

#include <ctime>
#include <functional>
#include <string>
#include <vector>

enum class TNetMessageEncoding { meMIME, meUU };
enum class TNetMessagePriority { mpHighest, mpHigh, mpNormal, mpLow, mpLowest };

class TNetMessage;
// Lets the owner change the header transfer, encoding letter and charset.
using TNetInitializeIsoEvent = std::function<void(TNetMessage& sender, TTransfer& transfer,
                                                  char& letter, std::string& charset)>;

// Value of the "X-Library" header.
extern const char* const LibraryTag;

class TNetMessage {
public:
    TNetMessage();
    TNetMessage(const TNetMessage&) = delete;
    TNetMessage& operator=(const TNetMessage&) = delete;

    // Empties every header field and list; Date 0, Priority mpNormal.
    void ResetHeaderFields();
    // Empties Parts and Body, nothing else.
    void ResetContent();
    void Reset() {
        ResetHeaderFields();
        ResetContent();
    }
    // Appends line to RawHeaders as it is (no folding, no duplicate check).
    void AddRawHeader(const std::string& line) { RawHeaders.Add(line); }

    // The header lines for this message. Chooses Boundaries, rewrites
    // ContentType from the parts and CharSet and sets HeaderCoding. Raises ENetMessageException for
    // UU with text or related parts and for line breaks that would end or split the header;
    // ENetFailedToRetreiveTimeZoneInfo without a zone offset.
    TNetHeaderList BuildHeader();

    // Writes the message as a mail program reads it (no dot-stuffing, no
    // final "." line) to the temporary file TemporaryFileFor(path), renamed
    // over path once complete; on failure the temporary file is removed and
    // an existing file at path stays. A temporary file left by a save that
    // was killed is removed first.
    void WriteToFile(const std::string& path, bool headersOnly);
    // The same text into stream, collected and passed on in pieces of 32768
    // bytes or more.
    void WriteToStream(TStream& stream, bool headersOnly);
    // ".<name>.quillet-save" beside path: the one name WriteToFile writes to.
    static std::string TemporaryFileFor(const std::string& path);

    TNetMessageEncoding Encoding() const { return MessageEncoding; }
    // meUU also selects the "UUE" attachment encoder, meMIME "MIME".
    void SetEncoding(TNetMessageEncoding encoding);
    bool UseNowForDate() const { return Date == 0; }
    // true stores Date 0; false stamps the current time into Date.
    void SetUseNowForDate(bool useNow);

    TNetEMailAddressList BccList;
    std::vector<std::string> Body;
    std::string CharSet;
    TNetEMailAddressList CCList;
    std::string ContentType;
    std::string ContentTransferEncoding;
    std::string ContentDisposition;
    // Local date and time in days since 1899-12-30; 0 means "now".
    double Date = 0;
    TNetHeaderList ExtraHeaders;
    TNetEMailAddressItem From;
    TNetHeaderList RawHeaders;
    TNetMessageParts Parts;
    std::vector<std::string> NewsGroups;
    bool NoEncode = false;
    bool NoDecode = false;
    TNetInitializeIsoEvent OnInitializeISO;
    std::string Organization;
    TNetMessagePriority Priority = TNetMessagePriority::mpNormal;
    std::string Subject;
    TNetEMailAddressItem ReceiptRecipient;
    TNetEMailAddressList Recipients;
    std::string References;
    TNetEMailAddressList ReplyTo;
    TNetEMailAddressItem Sender;
    // Boundaries met while reading mail (never read here); emptied on reset.
    std::vector<std::string> MIMEBoundary;
    unsigned Flags = 0;

    // The current time used for "Date" while Date is 0; empty means the
    // system clock. Tests fix it to compare whole messages.
    std::function<time_t()> Clock;
    // Charset, letter and transfer chosen by the last BuildHeader; the body
    // writer needs the same ones.
    TNetHeaderCoding HeaderCoding;
    // Boundaries chosen by the last BuildHeader, for the body writer.
    TNetBoundaries Boundaries;

private:
    TNetMessageEncoding MessageEncoding = TNetMessageEncoding::meMIME;
};

// "Name <address>" with the name quoted, or encoded when it is not printable
// ASCII; the bare address without a name.
std::string EncodeAddressItem(const TNetEMailAddressItem& item, const TNetHeaderCoding& coding);
// The items' EncodeAddressItem values joined with ", ".
std::string EncodeAddressList(const TNetEMailAddressList& list, const TNetHeaderCoding& coding);

// RFC 2822 date: "Mon, 7 Dec 2026 03:16:08 +0100" with English names.
std::string FormatInternetDate(const std::tm& local, int32_t offsetMinutes);
// The date of a local time (time_t), or of a local date-time in days since
// 1899-12-30, with the zone offset the system gives for it. Raises
// ENetFailedToRetreiveTimeZoneInfo when it gives none.
std::string FormatInternetDate(time_t t);
std::string FormatInternetDate(double dateTime);
// "+0100", "-0500", "+0000".
std::string FormatZoneOffset(int32_t offsetMinutes);
// A local date-time as days since 1899-12-30.
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second);

// Refuses a header value whose CR or LF is anything but a fold (CR LF and a
// blank): raises ENetMessageException naming field.
void CheckHeaderValue(const std::string& field, const std::string& value);
// Refuses header lines that hold a CR or LF or are empty (either would end
// or split the header block); what names the list in the message.
void CheckHeaderLines(const TNetHeaderList& lines, const std::string& what);
