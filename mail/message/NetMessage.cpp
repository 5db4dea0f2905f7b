// The message model and its header block; see NetMessage.h. Values that
// reach the header unencoded (addresses, References, raw lines) are refused
// when they hold a line break, so no field can add header lines of its own.
#include "mail/message/NetMessage.h"

#include "base/NetException.h"
#include "base/Text.h"
#include "base/Translate.h"
#include "mail/message/NetMessageWriter.h"
#include "mail/message/NetStreamLineOutput.h"
#include "platform/Clock.h"
#include "platform/Program.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const char* const LibraryTag = "Quillet Mail 1.5";

namespace {

const char* const DayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const MonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// Days from 1899-12-30 (day 0 of the date-time values) to 1970-01-01.
constexpr int64_t UnixEpochDay = 25569;

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (month <= 2));
}

int32_t ZoneOffsetAt(time_t t) {
    int32_t bias = 0;
    if (!GetLocalZoneBias(t, bias))
        throw ENetFailedToRetreiveTimeZoneInfo(
            "Failed attempting to retrieve time zone information.");
    return -bias;
}

void CheckAddress(const std::string& field, const TNetEMailAddressItem& item) {
    if (item.Address.find_first_of("\r\n") != std::string::npos)
        throw ENetMessageException(
            Tr("NetMessage", "Line break in an address of header field \"%1\".").Arg(field));
}

void CheckAddresses(const std::string& field, const TNetEMailAddressList& list) {
    for (const TNetEMailAddressItem& item : list.Items)
        CheckAddress(field, item);
}

// Checks value, then sets it.
void SetChecked(TNetHeaderList& header, const std::string& name, const std::string& value) {
    CheckHeaderValue(name, value);
    header.SetHeader(name, value);
}

// Creates the temporary file of a save exclusively; one left by a killed
// save is removed first (only that name, and only a file or a link).
void CreateTemporary(const std::string& name, const std::string& path) {
    struct stat st;
    if (::lstat(name.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
        ::unlink(name.c_str());
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        throw EFCreateError(path, SystemErrorText(errno));
    ::close(fd);
}

} // namespace

void CheckHeaderValue(const std::string& field, const std::string& value) {
    for (size_t i = value.find_first_of("\r\n"); i != std::string::npos;
         i = value.find_first_of("\r\n", i + 1)) {
        const bool fold = value[i] == '\r' && i + 2 < value.size() && value[i + 1] == '\n' &&
                          (value[i + 2] == ' ' || value[i + 2] == '\t');
        if (!fold)
            throw ENetMessageException(
                Tr("NetMessage", "Line break in header field \"%1\".").Arg(field));
        ++i; // past the LF of the fold
    }
}

void CheckHeaderLines(const TNetHeaderList& lines, const std::string& what) {
    for (const std::string& line : lines.Lines) {
        if (line.find_first_of("\r\n") != std::string::npos)
            throw ENetMessageException(Tr("NetMessage", "Line break in %1 line \"%2\".")
                                           .Arg(what, line.substr(0, line.find_first_of("\r\n"))));
        if (line.empty())
            throw ENetMessageException(Tr("NetMessage", "Empty %1 line.").Arg(what));
    }
}

TNetMessage::TNetMessage() {
    Reset();
    SetEncoding(TNetMessageEncoding::meMIME);
}

void TNetMessage::ResetHeaderFields() {
    CCList.Clear();
    BccList.Clear();
    Recipients.Clear();
    ReplyTo.Clear();
    NewsGroups.clear();
    RawHeaders.Clear();
    ExtraHeaders.Clear();
    MIMEBoundary.clear();
    Date = 0;
    From.SetText("");
    ReceiptRecipient.SetText("");
    Sender.SetText("");
    Organization.clear();
    References.clear();
    Subject.clear();
    ContentType.clear();
    CharSet.clear();
    ContentTransferEncoding.clear();
    ContentDisposition.clear();
    Priority = TNetMessagePriority::mpNormal;
    Flags = 0;
}

void TNetMessage::ResetContent() {
    Parts.Clear();
    Body.clear();
}

void TNetMessage::SetEncoding(TNetMessageEncoding encoding) {
    MessageEncoding = encoding;
    Parts.SetAttachmentEncoding(encoding == TNetMessageEncoding::meUU ? "UUE" : "MIME");
}

void TNetMessage::SetUseNowForDate(bool useNow) {
    if (useNow) {
        Date = 0;
    } else if (Date == 0) {
        time_t t = Clock ? Clock() : time(nullptr);
        tm local{};
        localtime_r(&t, &local);
        Date = EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                              local.tm_min, local.tm_sec);
    }
}

TNetHeaderList TNetMessage::BuildHeader() {
    Parts.CountParts();
    const bool mime = MessageEncoding == TNetMessageEncoding::meMIME;
    if (!mime && (Parts.RelatedPartCount > 0 || Parts.TextPartCount > 0))
        throw ENetMessageException("Invalid Encoding. UU only allows Body and Attachments");
    Boundaries = ChooseBoundaries(Body, Parts);
    if (mime) {
        if (Parts.RelatedPartCount > 0)
            ContentType = "multipart/related; type=\"multipart/alternative\"; boundary=\"" +
                          Boundaries.Related + "\"";
        else if (Parts.AttachmentCount > 0)
            ContentType = "multipart/mixed; boundary=\"" + Boundaries.Mixed + "\"";
        else if (Parts.TextPartCount > 0)
            ContentType = "multipart/alternative; boundary=\"" + Boundaries.Mixed + "\"";
        if (!CharSet.empty()) {
            const std::string param = "charset=\"" + CharSet + "\"";
            ContentType = ContentType.empty() ? param : ContentType + ";\r\n\t" + param;
        }
    }

    TNetHeaderCoding coding = ChooseHeaderCharset();
    if (OnInitializeISO)
        OnInitializeISO(*this, coding.Transfer, coding.Letter, coding.CharSet);
    HeaderCoding = coding;

    CheckHeaderLines(RawHeaders, "raw header");
    CheckHeaderLines(ExtraHeaders, "extra header");
    CheckAddress("From", From);
    CheckAddresses("To", Recipients);
    CheckAddresses("Cc", CCList);
    CheckAddress("Sender", Sender);
    CheckAddresses("Reply-To", ReplyTo);
    CheckAddress("Disposition-Notification-To", ReceiptRecipient);

    TNetHeaderList header;
    header.AddStrings(RawHeaders);
    SetChecked(header, "From", EncodeAddressItem(From, coding));
    SetChecked(header, "Subject", EncodeHeaderText(Subject, "", coding));
    SetChecked(header, "To", EncodeAddressList(Recipients, coding));
    SetChecked(header, "Cc", EncodeAddressList(CCList, coding));
    std::string groups;
    for (const std::string& g : NewsGroups)
        groups += (groups.empty() ? "" : ",") + g;
    SetChecked(header, "Newsgroups", groups);
    if (mime) {
        SetChecked(header, "Content-Type", ContentType);
        if (!Parts.Empty())
            header.SetHeader("MIME-Version", "1.0");
        SetChecked(header, "Content-Transfer-Encoding", ContentTransferEncoding);
    }
    SetChecked(header, "Sender", Sender.GetText());
    SetChecked(header, "Reply-To", EncodeAddressList(ReplyTo, coding));
    SetChecked(header, "Organization", EncodeHeaderText(Organization, "", coding));
    SetChecked(header, "Disposition-Notification-To", EncodeAddressItem(ReceiptRecipient, coding));
    SetChecked(header, "References", References);
    if (Date == 0)
        header.SetHeader("Date", FormatInternetDate(Clock ? Clock() : time(nullptr)));
    else
        header.SetHeader("Date", FormatInternetDate(Date));
    header.SetHeader("X-Priority", IntToStr(static_cast<int>(Priority) + 1));
    header.SetHeader("X-Library", LibraryTag);
    header.AddStrings(ExtraHeaders);
    return header;
}

void TNetMessage::WriteToStream(TStream& stream, bool headersOnly) {
    TNetStreamLineOutput output(stream);
    TNetMessageWriter writer(output, false);
    writer.WriteMessage(*this, headersOnly);
    output.Flush();
}

void TNetMessage::WriteToFile(const std::string& path, bool headersOnly) {
    // The old file is replaced only by a complete new one.
    const std::string temporary = TemporaryFileFor(path);
    CreateTemporary(temporary, path);
    try {
        {
            TFileStream file(temporary, TFileStream::Mode::OpenWrite);
            WriteToStream(file, headersOnly);
        }
        if (::rename(temporary.c_str(), path.c_str()) != 0)
            throw EFCreateError(path, SystemErrorText(errno));
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
}

std::string TNetMessage::TemporaryFileFor(const std::string& path) {
    return ExtractFilePath(path) + "." + ExtractFileName(path) + ".quillet-save";
}

std::string EncodeAddressItem(const TNetEMailAddressItem& item, const TNetHeaderCoding& coding) {
    if (item.Name.empty())
        return item.Address;
    std::string name;
    bool printable = true;
    size_t quotedSize = 2;
    for (unsigned char c : item.Name) {
        if (c < 0x20 || c > 0x7E)
            printable = false;
        quotedSize += c == '\\' || c == '"' ? 2 : 1;
    }
    // A quoted string cannot be folded; one too long for a line of its own
    // goes as words instead.
    if (!printable || quotedSize > LongestPlainWord) {
        name = EncodeHeaderText(item.Name, AddressSpecials, coding);
    } else {
        name = "\"";
        for (char c : item.Name) {
            if (c == '\\' || c == '"')
                name += '\\';
            name += c;
        }
        name += "\"";
    }
    return name + " <" + item.Address + ">";
}

std::string EncodeAddressList(const TNetEMailAddressList& list, const TNetHeaderCoding& coding) {
    std::string out;
    for (const TNetEMailAddressItem& item : list.Items) {
        if (!out.empty())
            out += ", ";
        out += EncodeAddressItem(item, coding);
    }
    return out;
}

std::string FormatZoneOffset(int32_t offsetMinutes) {
    const int32_t a = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    return Format("%c%02d%02d", offsetMinutes < 0 ? '-' : '+', a / 60, a % 60);
}

std::string FormatInternetDate(const std::tm& local, int32_t offsetMinutes) {
    return Format("%s, %d %s %04d %02d:%02d:%02d ", DayNames[local.tm_wday % 7], local.tm_mday,
                  MonthNames[local.tm_mon % 12], local.tm_year + 1900, local.tm_hour, local.tm_min,
                  local.tm_sec) +
           FormatZoneOffset(offsetMinutes);
}

std::string FormatInternetDate(time_t t) {
    tm local{};
    if (!localtime_r(&t, &local))
        throw ENetFailedToRetreiveTimeZoneInfo(
            "Failed attempting to retrieve time zone information.");
    return FormatInternetDate(local, ZoneOffsetAt(t));
}

std::string FormatInternetDate(double dateTime) {
    int64_t days = static_cast<int64_t>(std::floor(dateTime));
    int64_t seconds = std::llround((dateTime - static_cast<double>(days)) * 86400.0);
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    tm local{};
    CivilFromDays(days - UnixEpochDay, local.tm_year, local.tm_mon, local.tm_mday);
    local.tm_year -= 1900;
    local.tm_mon -= 1;
    local.tm_hour = static_cast<int>(seconds / 3600);
    local.tm_min = static_cast<int>(seconds / 60 % 60);
    local.tm_sec = static_cast<int>(seconds % 60);
    local.tm_wday = static_cast<int>(((days - UnixEpochDay) % 7 + 11) % 7); // 1970-01-01: Thu
    // The offset in effect at that local time.
    tm probe = local;
    probe.tm_isdst = -1;
    const time_t t = mktime(&probe);
    return FormatInternetDate(local, ZoneOffsetAt(t));
}

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second) {
    const int64_t days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
        UnixEpochDay;
    return static_cast<double>(days) + (hour * 3600 + minute * 60 + second) / 86400.0;
}
