// What a mail program reads from a saved message: body lines as typed
// (long ones quoted-printable, dots not doubled), a boundary that no line
// of the text starts with, and the same bytes as on the SMTP connection
// apart from its dot-stuffing. Python's email package is the reader.
#include "mail/message/NetMessage.h"
#include "smtp/NetMessageClient.h"
#include "tests/net/tcp_MemoryTransport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// Each leaf part of the file as "<content type>: <decoded payload>", text
// with LF line ends and no trailing line ends; "defects" when the reader
// found any.
std::string ReadByMailProgram(const std::string& path) {
    const std::string script =
        "import sys, email\n"
        "m = email.message_from_binary_file(open(sys.argv[1], 'rb'))\n"
        "out = []\n"
        "for p in m.walk():\n"
        "    if p.defects: out.append('defects')\n"
        "    if p.is_multipart(): continue\n"
        "    b = (p.get_payload(decode=True) or b'').decode('latin-1')\n"
        "    if p.get_content_maintype() == 'text': b = b.replace('\\r\\n', '\\n').rstrip('\\n')\n"
        "    out.append(p.get_content_type() + ': ' + b)\n"
        "sys.stdout.write('|'.join(out))\n";
    TTempDir dir;
    dir.Write("read.py", script);
    std::string result;
    if (FILE* p = popen(("python3 " + dir.File("read.py") + " '" + path + "'").c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            result.append(buf, n);
        pclose(p);
    }
    return result;
}

std::string Unix(std::string s) {
    for (size_t i; (i = s.find("\r\n")) != std::string::npos;)
        s.erase(i, 1);
    while (!s.empty() && s.back() == '\n')
        s.pop_back();
    return s;
}

class SavedMessage : public ::testing::Test {
protected:
    void SetUp() override {
        Dir.Write("Quillet.mp3", "ID3 data");
        Msg.Clock = [] { return time_t(1796609768); };
        Msg.From.Address = "john@example.com";
        Msg.Recipients.AssignText("mary@example.org");
    }
    void Compose(const std::string& memo) {
        Msg.ResetContent();
        Msg.Body.push_back(memo);
        Msg.Parts.AddAttachment(Dir.File("Quillet.mp3"));
    }
    TTempDir Dir;
    TNetMessage Msg;
};

TEST_F(SavedMessage, MailProgramReadsTheTextAsTyped) {
    const std::string fixed = "=_NextPart_28kcxuh4o99q4zxed9n6ivf";
    const struct {
        std::string Memo;
        const char* Transfer;
        bool FixedBoundary;
        const char* Why;
    } cases[] = {
        {"Hi\r\n" + std::string(1500, 'x') + "\r\n", "quoted-printable", true,
         "a 1,500-character line was refused as too long"},
        {std::string(998, 'x'), "7bit", true, "998 octets fit in a line"},
        {std::string(999, '.'), "quoted-printable", true, "999 do not"},
        {".\r\n..x\r\nend", "7bit", true, "dots are not doubled in the file"},
        {"a\r\n--" + fixed + "\r\nb", "7bit", false, "the boundary line would split the text"},
        {"--" + fixed + "--", "7bit", false, "the closing boundary line"},
        {" --" + fixed, "7bit", true, "not at a line start: the message stays as it was"},
    };
    for (const auto& c : cases) {
        Compose(c.Memo);
        const std::string path = Dir.File("saved.eml");
        Msg.WriteToFile(path, false);
        EXPECT_EQ(ReadByMailProgram(path),
                  "text/plain: " + Unix(c.Memo) + "|application/octet-stream: ID3 data")
            << c.Why;
        const std::string text = ReadWholeFile(path);
        EXPECT_NE(text.find("Content-Transfer-Encoding: " + std::string(c.Transfer)),
                  std::string::npos)
            << c.Why;
        EXPECT_EQ(text.find("boundary=\"" + fixed + "\"") != std::string::npos, c.FixedBoundary)
            << c.Why;
        EXPECT_EQ(text.substr(text.size() - 4), "--\r\n") << c.Why << ": no final \".\" line";
    }
}

TEST_F(SavedMessage, ConnectionSendsTheFileStuffed) {
    Compose(".\r\n..x\r\n" + std::string(1200, '.') + "\r\n--=_NextPart_28kcxuh4o99q4zxed9n6ivf");
    TNetMessageClient client;
    TMemoryTransport& wire = AttachTransport(client);
    client.WriteMessage(Msg, false);
    const std::string wireBoundary = Msg.Boundaries.Mixed;
    Msg.WriteToFile(Dir.File("saved.eml"), false);
    std::string stuffed;
    const std::string file = Dir.Read("saved.eml");
    for (size_t start = 0; start < file.size();) {
        const size_t end = file.find("\r\n", start) + 2;
        stuffed += (file[start] == '.' ? "." : "") + file.substr(start, end - start);
        start = end;
    }
    // Each write draws its own random boundary; compare without it.
    auto withoutBoundary = [](std::string s, const std::string& b) {
        for (size_t i; (i = s.find(b)) != std::string::npos;)
            s.replace(i, b.size(), "B");
        return s;
    };
    EXPECT_NE(wireBoundary, MixedBoundary);
    EXPECT_EQ(withoutBoundary(wire.Output, wireBoundary),
              withoutBoundary(stuffed, Msg.Boundaries.Mixed));
}

TEST_F(SavedMessage, SaveRemovesOnlyItsOwnStaleTemporaryFile) {
    const std::string path = Dir.File("mail.eml");
    const std::string stale = TNetMessage::TemporaryFileFor(path);
    EXPECT_EQ(stale, Dir.File(".mail.eml.quillet-save"));
    Dir.Write(".mail.eml.quillet-save", "left by a killed save");
    Dir.Write(".mail.eml.other", "not ours");
    Compose("Hi");
    Msg.WriteToFile(path, false);
    EXPECT_EQ(ReadWholeFile(stale), "") << "the stale temporary file is gone";
    EXPECT_EQ(Dir.Read(".mail.eml.other"), "not ours");
    EXPECT_EQ(ReadByMailProgram(path), "text/plain: Hi|application/octet-stream: ID3 data");
}

} // namespace
