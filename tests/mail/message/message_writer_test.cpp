// The message writer and the .eml destination: the whole message byte for
// byte on both paths, header building, the failure texts, the temporary-file
// save, the 8-bit body and the refused header injections.
#include "base/NetException.h"
#include "mail/message/NetMessage.h"
#include "mail/message/NetMessageWriter.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

namespace {

// Mon, 7 Dec 2026 03:16:08 in a zone one hour east of UTC.
constexpr time_t FixedNow = 1796609768;

class TRecordingOutput : public TNetLineOutput {
public:
    void WriteLine(const std::string& text) override { Text += text + "\r\n"; }
    void WriteText(const std::string& text) override { Text += text; }
    void WriteBytes(const void* data, size_t count, bool) override {
        Text.append(static_cast<const char*>(data), count);
    }
    void DoStatus(const std::string& text) override { Status += text + "|"; }
    std::string Text, Status;
};

// The text of the exception check raises, or "" when it raises none.
std::string ErrorOf(const std::function<void()>& check) {
    try {
        check();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

class MessageWriter : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC-1", 1);
        tzset();
        // What the send workflow puts into the message.
        Msg.Clock = [] { return FixedNow; };
        Msg.Organization = "http://www.quillet.example/";
        Msg.From.Name = "John Smith";
        Msg.From.Address = "john@example.com";
        Msg.ResetContent();
        Msg.AddRawHeader("X-Unsent: 1");
        Msg.Recipients.AssignText("support@quillet.example, Mary <mary@example.org>");
        Msg.CCList.AssignText("");
        Msg.Subject = "This audio message brought to you by Quillet";
    }
    void Attach(const std::string& content) {
        Dir.Write("Quillet.mp3", content);
        Msg.Parts.AddAttachment(Dir.File("Quillet.mp3"));
    }
    std::string Written(bool headersOnly = false) {
        TMemoryStream out;
        Msg.WriteToStream(out, headersOnly);
        return std::string(out.Data.begin(), out.Data.end());
    }
    // The header coding the owner would choose for the user's locale.
    void UseCoding(TTransfer transfer, char letter, const std::string& charset) {
        Msg.OnInitializeISO = [=](TNetMessage&, TTransfer& t, char& l, std::string& c) {
            t = transfer;
            l = letter;
            c = charset;
        };
    }
    // Writes through the writer alone, as the SMTP path does.
    std::string Sent() {
        TNetMessageWriter(Output).WriteMessage(Msg, false);
        return Output.Text;
    }

    TTempDir Dir;
    TNetMessage Msg;
    TRecordingOutput Output;
};

std::string Lines(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines)
        s += l + "\r\n";
    return s;
}

const std::vector<std::string> GoldenHeader = {
    "X-Unsent: 1",
    "From: \"John Smith\" <john@example.com>",
    "Subject: This audio message brought to you by Quillet",
    "To: support@quillet.example, \"Mary\" <mary@example.org>",
    "Content-Type: multipart/mixed; boundary=\"=_NextPart_28kcxuh4o99q4zxed9n6ivf\"",
    "MIME-Version: 1.0",
    "Organization: http://www.quillet.example/",
    "Date: Mon, 7 Dec 2026 03:16:08 +0100",
    "X-Priority: 3",
    "X-Library: Quillet Mail 1.5",
};

std::string Golden(const std::vector<std::string>& body, const std::vector<std::string>& base64,
                   const std::vector<std::string>& extraHeaders = {}) {
    std::vector<std::string> l = GoldenHeader;
    l.insert(l.end(), extraHeaders.begin(), extraHeaders.end());
    l.insert(l.end(), {"", "This is a multi-part message in MIME format", "",
                       "--=_NextPart_28kcxuh4o99q4zxed9n6ivf", "Content-Type: text/plain",
                       "Content-Transfer-Encoding: 7bit", ""});
    l.insert(l.end(), body.begin(), body.end());
    l.insert(l.end(),
             {"", "--=_NextPart_28kcxuh4o99q4zxed9n6ivf", "Content-Type: application/octet-stream;",
              "        name=\"Quillet.mp3\"", "Content-Transfer-Encoding: base64",
              "Content-Disposition: attachment;", "        filename=\"Quillet.mp3\"", ""});
    l.insert(l.end(), base64.begin(), base64.end());
    l.insert(l.end(), {"", "--=_NextPart_28kcxuh4o99q4zxed9n6ivf--"});
    return Lines(l);
}

std::string Sequence(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += static_cast<char>(i);
    return s;
}

// The file gets the lines as typed; the connection gets them dot-stuffed and
// the X-Mailer line the SMTP client sets. A second write gives the same text.
TEST_F(MessageWriter, FileAndConnectionGetTheGoldenMessage) {
    const std::vector<std::string> b64of58 = {
        "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4", "OQ=="};
    const struct {
        const char* Memo;
        std::vector<std::string> Body, Wire; // Wire empty: as Body
        size_t AttachmentSize;
        std::vector<std::string> Base64;
        const char* Why;
    } cases[] = {
        {"", {""}, {}, 58, b64of58, "empty memo: one empty body line"},
        {"Hello,\r\nbye.\r\n", {"Hello,", "bye.", ""}, {}, 58, b64of58, "memo ending in CR LF"},
        {".\r\n.start\r\nmiddle\r\n..",
         {".", ".start", "middle", ".."},
         {"..", "..start", "middle", "..."},
         58,
         b64of58,
         "lines starting with a dot: as typed in a file, stuffed on the wire"},
        {"Hi", {"Hi"}, {}, 0, {}, "empty attachment: no base64 lines"},
    };
    const std::string mailer = "Quillet(http://www.quillet.example/)";
    for (const auto& c : cases) {
        Msg.ResetContent();
        Msg.ExtraHeaders.Clear();
        Msg.Body.push_back(c.Memo);
        Attach(Sequence(c.AttachmentSize));
        const std::string path = Dir.File("saved.eml");
        Msg.WriteToFile(path, false);
        EXPECT_EQ(ReadWholeFile(path), Golden(c.Body, c.Base64)) << c.Why;
        Msg.ExtraHeaders.SetHeader("X-Mailer", mailer);
        Output = {};
        EXPECT_EQ(Sent(),
                  Golden(c.Wire.empty() ? c.Body : c.Wire, c.Base64, {"X-Mailer: " + mailer}))
            << c.Why;
        EXPECT_EQ(Output.Status, "Encoding attachment|");
    }
    EXPECT_EQ(Written(true), Lines(GoldenHeader) + "X-Mailer: " + mailer + "\r\n\r\n")
        << "headers only: the header and one empty line";
}

TEST_F(MessageWriter, PlainMessageWithoutPartsHasNoMimeStructure) {
    Msg.Body.push_back(".x\r\ny");
    // The golden header without its MIME lines.
    std::vector<std::string> header = GoldenHeader;
    std::erase_if(header, [](const std::string& l) {
        return l.starts_with("Content-Type:") || l.starts_with("MIME-Version:");
    });
    EXPECT_EQ(Sent(), Lines(header) + "\r\n..x\r\ny\r\n");
}

TEST_F(MessageWriter, JapaneseLocaleSendsIso2022JpText) {
    UseCoding(TTransfer::iso2022jp, 'B', "ISO-2022-JP");
    Msg.Subject = "\x93\xfa";
    Msg.Body.push_back("\x93\xfa\r\n.x");
    const std::string text = Sent();
    EXPECT_NE(text.find("Subject: =?ISO-2022-JP?B?GyRCRnwbKEI=?=\r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\r\n\r\n\x1b$BF|\x1b(B\r\n..x\r\n")) << text;
}

TEST_F(MessageWriter, HeaderFieldsAndEncodedWords) {
    UseCoding(TTransfer::bit8, 'Q', "UTF-8");
    Msg.From.Name = "J\xc3\xbcrgen, Sales";
    Msg.Subject = "Gr\xc3\xbc\xc3\x9f\x65 aus K\xc3\xb6ln";
    Msg.CCList.AssignText("a@b.c");
    Msg.Sender.Address = "s@x.y";
    Msg.ReplyTo.AssignText("r@x.y");
    Msg.ReceiptRecipient.Address = "n@x.y";
    Msg.References = "<1@x.y>";
    Msg.NewsGroups = {"comp.a", "comp.b"};
    Msg.Priority = TNetMessagePriority::mpHighest;
    Msg.CharSet = "UTF-8";
    const TNetHeaderList h = Msg.BuildHeader();
    EXPECT_EQ(h.GetHeader("From"), "=?UTF-8?Q?J=C3=BCrgen=2C?= Sales <john@example.com>");
    EXPECT_EQ(h.GetHeader("Subject"), "=?UTF-8?Q?Gr=C3=BC=C3=9Fe?= aus =?UTF-8?Q?K=C3=B6ln?=");
    EXPECT_EQ(h.GetHeader("Cc"), "a@b.c");
    EXPECT_EQ(h.GetHeader("Newsgroups"), "comp.a,comp.b");
    EXPECT_EQ(h.GetHeader("Sender"), "s@x.y");
    EXPECT_EQ(h.GetHeader("Reply-To"), "r@x.y");
    EXPECT_EQ(h.GetHeader("Disposition-Notification-To"), "n@x.y");
    EXPECT_EQ(h.GetHeader("References"), "<1@x.y>");
    EXPECT_EQ(h.GetHeader("X-Priority"), "1");
    EXPECT_EQ(h.GetHeader("Content-Type"), "charset=\"UTF-8\"");
    Msg.Parts.AddAttachment("x");
    const TNetHeaderList withPart = Msg.BuildHeader();
    const int ct = withPart.FindHeader("Content-Type");
    ASSERT_GE(ct, 0);
    EXPECT_EQ(withPart[ct],
              "Content-Type: multipart/mixed; boundary=\"=_NextPart_28kcxuh4o99q4zxed9n6ivf\";")
        << "77 characters: not folded";
    EXPECT_EQ(withPart[ct + 1], "\tcharset=\"UTF-8\"") << "the charset fold stays";
}

// The Date header of a fixed Date, with the offset the zone has at that date.
TEST_F(MessageWriter, InternetDate) {
    const struct {
        const char* Zone;
        double Date;
        const char* Text;
        const char* Why;
    } cases[] = {
        {"UTC-1", EncodeDateTime(2000, 2, 29, 23, 59, 59), "Tue, 29 Feb 2000 23:59:59 +0100",
         "leap day"},
        {"EST5EDT,M3.2.0,M11.1.0", EncodeDateTime(2024, 7, 1, 9, 5, 0),
         "Mon, 1 Jul 2024 09:05:00 -0400", "daylight time in effect at that date"},
        {"EST5EDT,M3.2.0,M11.1.0", EncodeDateTime(2024, 1, 1, 0, 0, 0),
         "Mon, 1 Jan 2024 00:00:00 -0500", "standard time"},
        {"UTC-5:30", EncodeDateTime(2024, 7, 1, 9, 5, 0), "Mon, 1 Jul 2024 09:05:00 +0530",
         "minutes of the offset"},
        {"UTC0", EncodeDateTime(2024, 7, 1, 9, 5, 0), "Mon, 1 Jul 2024 09:05:00 +0000", "UTC"},
    };
    for (const auto& c : cases) {
        setenv("TZ", c.Zone, 1);
        tzset();
        Msg.Date = c.Date;
        EXPECT_EQ(Msg.BuildHeader().GetHeader("Date"), c.Text) << c.Why;
    }
}

TEST_F(MessageWriter, MissingAttachmentFailsAfterThePartHeaders) {
    Msg.Body.push_back("Hello");
    Msg.Parts.AddAttachment(Dir.File("Quillet.mp3"));
    EXPECT_EQ(ErrorOf([&] { Sent(); }),
              "Cannot open file \"" + Dir.File("Quillet.mp3") + "\". No such file or directory");
    EXPECT_TRUE(Output.Text.ends_with("Content-Disposition: attachment;\r\n"
                                      "        filename=\"Quillet.mp3\"\r\n\r\n"))
        << Output.Text;
}

TEST_F(MessageWriter, RefusedEncodingsAndParts) {
    Msg.Parts.AddText().Body.push_back("x");
    Msg.SetEncoding(TNetMessageEncoding::meUU);
    EXPECT_EQ(ErrorOf([&] { Sent(); }), "Invalid Encoding. UU only allows Body and Attachments");
    EXPECT_EQ(Output.Text, "") << "nothing written";
    EXPECT_EQ(ErrorOf([&] { Msg.Parts.SetAttachmentEncoding("BinHex"); }),
              "Message encoder not found: BinHex");
    EXPECT_EQ(Msg.Parts.AttachmentEncoding(), "UUE") << "unchanged after the failure";
    EXPECT_EQ(ErrorOf([] { TNetMessagePart part; }),
              "TNetMessagePart can not be created.  Use descendant classes. ");
}

TEST_F(MessageWriter, UUMessageHasBodyThenUuencodedAttachment) {
    Msg.SetEncoding(TNetMessageEncoding::meUU);
    Msg.Body.push_back("Hi");
    Attach("Cat");
    const std::string text = Sent();
    EXPECT_TRUE(
        text.ends_with("\r\n\r\nHi\r\n\r\nbegin 660 Quillet.mp3\r\n#0V%T\r\n`\r\nend\r\n\r\n"))
        << text;
    EXPECT_EQ(text.find("Content-Type"), std::string::npos);
    EXPECT_EQ(text.find("MIME-Version"), std::string::npos);
}

TEST_F(MessageWriter, TwoTextPartsWithAttachmentAreAlternatives) {
    Msg.Body.push_back("ignored");
    TNetText& plain = Msg.Parts.AddText();
    plain.Body = {".dot", std::string(72, 'a') + ".b"};
    TNetText& html = Msg.Parts.AddText();
    html.SetContentType("text/html");
    html.SetContentTransfer("8bit");
    html.Body = {"<p>", "."};
    Attach("");
    const std::string text = Sent();
    const std::string expected =
        "--=_NextPart_28kcxuh4o99q4zxed9n6ivf\r\n"
        "Content-Type: multipart/alternative; \r\n"
        "        boundary=\"=_NextPart_2alt8kcxuh4o99q4zxed9n6ivf\"\r\n\r\n"
        "--=_NextPart_2alt8kcxuh4o99q4zxed9n6ivf\r\n"
        "Content-Type: text/plain\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
        "..dot\r\n" +
        std::string(72, 'a') + "=\r\n" +
        "..b\r\n\r\n\r\n"
        "--=_NextPart_2alt8kcxuh4o99q4zxed9n6ivf\r\n"
        "Content-Type: text/html\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
        "<p>\r\n..\r\n\r\n\r\n"
        "--=_NextPart_2alt8kcxuh4o99q4zxed9n6ivf--\r\n\r\n"
        "--=_NextPart_28kcxuh4o99q4zxed9n6ivf\r\n";
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    EXPECT_EQ(text.find("ignored"), std::string::npos);
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// A temporary file beside the target, named for it, replaces the old file
// only once complete; one left by a killed save goes first, nothing else.
TEST_F(MessageWriter, SaveReplacesTheFileOnlyWhenComplete) {
    const std::string path = Dir.File("mail.eml");
    Dir.Write("mail.eml", "old mail");
    Dir.Write(".mail.eml.quillet-save", "left by a killed save");
    Dir.Write(".mail.eml.other", "not ours");
    Msg.Body.push_back("Hello");
    Msg.Parts.AddAttachment(Dir.File("Quillet.mp3")); // missing
    EXPECT_THROW(Msg.WriteToFile(path, false), EFOpenError);
    EXPECT_EQ(ReadWholeFile(path), "old mail") << "the old file survives a failed save";
    EXPECT_EQ(FilesIn(Dir.Path()), (std::vector<std::string>{".mail.eml.other", "mail.eml"}))
        << "no temporary left, the stale one gone, the other kept";

    Dir.Write("Quillet.mp3", "abc");
    Msg.WriteToFile(path, false);
    EXPECT_EQ(ReadWholeFile(path), Written());

    const std::string nowhere = Dir.File("missing-dir/mail.eml");
    EXPECT_EQ(ErrorOf([&] { Msg.WriteToFile(nowhere, false); }),
              "Cannot create file \"" + nowhere + "\". No such file or directory")
        << "the message names the file asked for, not the temporary one";
}

TEST_F(MessageWriter, EightBitBodyIsQuotedPrintableWithTheHeaderCharset) {
    UseCoding(TTransfer::bit8, 'Q', "UTF-8");
    Msg.Body.push_back("Gr\xc3\xbc\xc3\x9f\x65 =\r\n" + std::string(71, 'x') + ".\xc3\xa9");
    Attach("");
    const std::string text = Sent();
    const std::string expected = "Content-Type: text/plain; charset=\"UTF-8\"\r\n"
                                 "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                                 "Gr=C3=BC=C3=9Fe =3D\r\n" +
                                 std::string(71, 'x') + ".=\r\n" + "=C3=A9\r\n\r\n--=_NextPart";
    EXPECT_NE(text.find(expected), std::string::npos) << text;

    Msg.Body = {".\xc3\xa9" + std::string(65, 'x') + ".\xc3\xa9"};
    Output.Text.clear();
    EXPECT_NE(Sent().find("\r\n\r\n..=C3=A9" + std::string(65, 'x') + "=\r\n..=C3=A9\r\n"),
              std::string::npos)
        << "a line and its soft-broken rest starting with a dot are stuffed";
}

TEST_F(MessageWriter, LineBreaksThatWouldSplitTheHeaderAreRefused) {
    const struct {
        std::function<void(TNetMessage&)> Set;
        const char* Field;
    } cases[] = {
        {[](TNetMessage& m) { m.From.Address = "a@b.c\r\nBcc: x@y.z"; }, "\"From\""},
        {[](TNetMessage& m) { m.Recipients.Add().Address = "a@b.c\nX: y"; }, "\"To\""},
        {[](TNetMessage& m) { m.CCList.Add().Address = "a@b.c\r"; }, "\"Cc\""},
        {[](TNetMessage& m) { m.References = "<a@b>\r\nBcc: x@y.z"; }, "\"References\""},
        {[](TNetMessage& m) { m.ContentTransferEncoding = "7bit\n\nbody"; },
         "\"Content-Transfer-Encoding\""},
        {[](TNetMessage& m) { m.AddRawHeader("X-A: 1\r\nBcc: x@y.z"); }, "raw header"},
        {[](TNetMessage& m) { m.ExtraHeaders.Add(""); }, "extra header"},
        {[](TNetMessage& m) {
             m.OnInitializeISO = [](TNetMessage&, TTransfer&, char& l, std::string&) { l = '8'; };
             m.Subject = "Hi\r\nBcc: x@y.z";
         },
         "\"Subject\""},
        {[](TNetMessage& m) { m.Parts.AddAttachment("/tmp/a\nb.mp3"); }, "attachment file name"},
        {[](TNetMessage& m) { m.Parts.AddAttachment("/tmp/a").ExtraHeaders.Add("X: 1\r\n"); },
         "part header"},
    };
    for (const auto& c : cases) {
        TNetMessage m;
        m.Clock = [] { return FixedNow; };
        m.Body.push_back("text");
        c.Set(m);
        TRecordingOutput out;
        try {
            TNetMessageWriter(out).WriteMessage(m, false);
            ADD_FAILURE() << "accepted: " << c.Field;
        } catch (const ENetMessageException& e) {
            EXPECT_NE(std::string(e.what()).find(c.Field), std::string::npos) << e.what();
        }
        EXPECT_EQ(out.Text, "") << c.Field << ": nothing written";
    }
    // Encoded words make other control bytes harmless; a line break
    // between words is left as it is by them, so it is refused too.
    Msg.From.Name = "Eve\x07 Bcc: x@y.z";
    Msg.Subject = "Hi\x01\tthere";
    const std::string header = Written(true);
    EXPECT_EQ(header.find('\x07'), std::string::npos) << header;
    EXPECT_EQ(header.find('\x01'), std::string::npos) << header;
    Msg.Subject = "Hi\r\nBcc: x@y.z";
    EXPECT_THROW(Written(true), ENetMessageException);
}

// Collects the size of every write the stream receives.
class TPieceStream : public TStream {
public:
    size_t Read(void*, size_t) override { return 0; }
    void Write(const void*, size_t count) override { Pieces.push_back(count); }
    int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
    std::vector<size_t> Pieces;
};

TEST_F(MessageWriter, StreamReceivesPiecesOfAtLeast32768Bytes) {
    Msg.Body.push_back("Hello");
    Attach(std::string(300000, 'z'));
    TPieceStream out;
    Msg.WriteToStream(out, false);
    ASSERT_GE(out.Pieces.size(), 12u);
    size_t total = 0;
    for (size_t i = 0; i < out.Pieces.size(); ++i) {
        if (i + 1 < out.Pieces.size()) {
            EXPECT_GE(out.Pieces[i], 32768u) << i;
        }
        total += out.Pieces[i];
    }
    EXPECT_EQ(total, Written().size());
}

} // namespace
