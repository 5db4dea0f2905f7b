// What a mail program reads from a saved message: body lines as typed (long
// ones quoted-printable) and a boundary that no line of the text starts
// with. Python's email package is the reader. The bytes on the SMTP
// connection are compared with the file by the SMTP tests.
#include "mail/message/NetMessage.h"
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
        {std::string(998, 'x'), "7bit", true, "998 octets fit in a line"},
        {"Hi\r\n" + std::string(999, '.'), "quoted-printable", true,
         "999 do not (a 1,500-character line was once refused as too long)"},
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
    }
}

} // namespace
