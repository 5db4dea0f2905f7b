// Reply reading and line limits of TNetTCPConnection over an in-memory
// transport: multi-line end markers, short and non-numeric lines, LF-only
// lines, the line-length limit around its edge, and the caps on replies.
#include "net/NetDeliveryException.h"
#include "net/NetTCPConnection.h"
#include "tests/net/tcp_MemoryTransport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct Fixture {
    TNetTCPConnection C;
    TMemoryTransport& T = AttachTransport(C);
    Fixture(const std::string& input, size_t chunk) {
        T.Input = input;
        T.Chunk = chunk;
    }
};

// The lines of a reply's text joined with "|".
std::string Joined(const std::vector<std::string>& lines) {
    std::string s;
    for (size_t i = 0; i < lines.size(); ++i)
        s += (i ? "|" : "") + lines[i];
    return s;
}

TEST(TcpReply, ParsesRepliesInAnyChunking) {
    const struct {
        std::string Input;
        int16_t Code;
        const char *TextCode, *Text;
        std::string Next; // the line after the reply, "" for none
        const char* Why;
    } cases[] = {
        {"250-a.example\r\n250-SIZE 10\r\n250 HELP\r\n", 250, "250", "a.example|SIZE 10|HELP", "",
         "three lines, codes stripped"},
        {"220 ready\r\n", 220, "220", "ready", "", "single line"},
        {"250-one\r\n250\r\nnext\r\n", 250, "250", "one|", "next", "ends on the bare code"},
        {"250-one\r\nab\r\n250 x\r\n", 250, "250", "one|", "250 x",
         "ends on a short continuation line"},
        {"250-one\r\n220-two\r\n221 three\r\n250 end\r\n", 250, "250", "one|two|three|end", "",
         "other codes in between are text"},
        {"25a-one\r\n25A end\r\n", 0, "25a", "one|end", "", "end marker compared without case"},
        {"hello there\r\n", 0, "hell", "o there", "",
         "non-numeric code: its fifth character on is text"},
        {"\r\n\r\n  \r\n354 go\r\n", 354, "354", "go", "", "empty lines before the reply skipped"},
        {"250-a\n250 b\n", 250, "250", "a|b", "", "LF-only lines"},
        {"250 text\r\r\n", 250, "250", "text", "", "CR kept out of the text"},
        {"421\r\n", 421, "421", "", "", "three-character line"},
        {"250-\r\n250 \r\n", 250, "250", "|", "", "code and hyphen only"},
        {"  250 ok  \r\n", 250, "250", "ok", "", "surrounding blanks trimmed"},
    };
    for (const auto& c : cases)
        for (size_t chunk : {size_t(65536), size_t(1), size_t(3)}) {
            SCOPED_TRACE(std::string(c.Why) + ", chunk " + std::to_string(chunk));
            Fixture f(c.Input, chunk);
            EXPECT_EQ(f.C.ReadReply({}), c.Code);
            EXPECT_EQ(f.C.LastReply.NumericCode, c.Code);
            EXPECT_EQ(f.C.LastReply.TextCode, c.TextCode);
            EXPECT_EQ(Joined(f.C.LastReply.Text), c.Text);
            // The reply must end where it ends, not swallow the next line.
            if (!c.Next.empty()) {
                EXPECT_EQ(f.C.ReadLine(), c.Next);
            }
        }
}

// The error of a reply the accepted codes refuse.
ENetProtocolReplyError Refusal(const std::string& input, const TNetReplyCodes& accepted) {
    Fixture f(input, 65536);
    try {
        f.C.ReadReply(accepted);
    } catch (const ENetProtocolReplyError& e) {
        return e;
    }
    ADD_FAILURE() << "accepted: " << input.substr(0, 40);
    return ENetProtocolReplyError(0, "");
}

// A rejected reply's text ends up in a message box: markup stays text,
// control characters go, and a flood is cut.
TEST(TcpReply, RefusedRepliesCarryTheirCodeAndSafeText) {
    const struct {
        std::string Input;
        TNetReplyCodes Accepted;
        int16_t Code;
        std::string Message;
    } cases[] = {
        {"550-No such user\r\n550 here\r\n", {250, 251}, 550, "No such user\r\nhere\r\n"},
        {"xyz nonsense\r\n", {250}, 0, "nonsense\r\n"},
        {std::string("550-<a href=\"http://x\">click</a>\x1b[2J\r\n550 no\0 bell\x07\t!\r\n", 55),
         {250},
         550,
         "<a href=\"http://x\">click</a>[2J\r\nno bell!\r\n"},
        {"554 " + std::string(5000, 'x') + "\r\n", {250}, 554, std::string(2000, 'x')},
    };
    for (const auto& c : cases) {
        const ENetProtocolReplyError e = Refusal(c.Input, c.Accepted);
        EXPECT_EQ(e.ReplyErrorCode, c.Code) << c.Message.substr(0, 40);
        EXPECT_EQ(e.Message, c.Message);
    }
    Fixture g("xyz nonsense\r\n", 65536);
    EXPECT_EQ(g.C.ReadReply({}), 0) << "an empty list accepts a non-numeric reply";
    // The cut never splits a UTF-8 sequence.
    EXPECT_EQ(SafeServerText(std::string(1999, 'x') + "\xC3\xA9" + "tail"), std::string(1999, 'x'));
}

// The message of the connection error call raises, or "none".
std::string Raised(const std::function<void()>& call) {
    try {
        call();
    } catch (const ENetException& e) {
        return e.Message;
    }
    return "none";
}

TEST(TcpReply, PeerClosingMidReply) {
    for (const char* input : {"250-first\r\n250-second\r\n", "250-first\r\n250 par", ""}) {
        Fixture f(input, 65536);
        EXPECT_EQ(Raised([&] { f.C.ReadReply({}); }), "Connection Closed Gracefully.") << input;
    }
}

TEST(TcpReply, EndlessRepliesAreCapped) {
    std::string manyLines;
    for (int i = 0; i < 5000; ++i)
        manyLines += "250-more\r\n";
    std::string manyBytes;
    for (int i = 0; i < 10; ++i)
        manyBytes += "250-" + std::string(16000, 'x') + "\r\n";
    for (const std::string& input : {manyLines, std::string(20000, '\n'), manyBytes}) {
        Fixture f(input, 4096);
        f.T.CloseAtEnd = false; // the server would go on for ever
        EXPECT_EQ(Raised([&] { f.C.ReadReply({}); }), "Server reply too long.");
    }
    // Just under the line cap still reads.
    std::string under;
    for (int i = 0; i < TNetTCPConnection::MaxReplyLines - 1; ++i)
        under += "250-l\r\n";
    Fixture ok(under + "250 end\r\n", 65536);
    EXPECT_EQ(ok.C.ReadReply({250}), 250);
    EXPECT_EQ(ok.C.LastReply.Text.size(), size_t(TNetTCPConnection::MaxReplyLines));
}

TEST(TcpReadLine, LengthLimitCountsTheLineWithoutItsTerminator) {
    const std::string max(16384, 'a');
    const struct {
        std::string Input;
        bool Accepted;
        const char* Why;
    } cases[] = {
        {max + "\r\n", true, "16384 + CR LF"},
        {max + "\n", true, "16384 + LF"},
        {max + "a\r\n", false, "16385 + CR LF"},
        {max + "a\n", false, "16385 + LF"},
        {max + "\r\r\n", false, "16384 + CR CR LF: the first CR is content"},
        {max + "a", false, "16385 buffered, no terminator yet"},
    };
    for (const auto& c : cases)
        for (size_t chunk : {size_t(65536), size_t(1000)}) {
            Fixture f(c.Input, chunk);
            f.T.CloseAtEnd = false;
            std::string line;
            const std::string error = Raised([&] { line = f.C.ReadLine(); });
            EXPECT_EQ(c.Accepted ? line : error, c.Accepted ? max : "Max line length exceeded.")
                << c.Why << ", chunk " << chunk;
        }
}

TEST(TcpReadLine, SplitAndOtherTerminators) {
    Fixture f("abcdefgh\r\nxy\r\n", 65536);
    f.C.MaxLineAction = maSplit;
    f.C.MaxLineLength = 5;
    EXPECT_EQ(f.C.ReadLine(), "abcde");
    EXPECT_TRUE(f.C.ReadLnSplit());
    EXPECT_EQ(f.C.ReadLine(), "fgh");
    EXPECT_FALSE(f.C.ReadLnSplit());

    Fixture g("one||two||", 2);
    EXPECT_EQ(g.C.ReadLine("||"), "one") << "terminator split over two receives";
    EXPECT_EQ(g.C.ReadLine("||"), "two");

    Fixture h("a\rb\r\n", 65536);
    EXPECT_EQ(h.C.ReadLine("\r\n"), "a\rb") << "a lone CR is content";

    Fixture s("", 65536);
    s.T.CloseAtEnd = false; // silent: a non-default time-out returns empty
    EXPECT_EQ(s.C.ReadLine("\n", 10), "");
    EXPECT_TRUE(s.C.ReadLnTimedOut());
}

TEST(TcpReadLine, AsciiFilterMasksTo7Bits) {
    Fixture f("250 \xe9t\xe9\r\n", 65536);
    f.C.ASCIIFilter = true;
    f.C.ReadReply({});
    EXPECT_EQ(f.C.LastReply.Text[0], "\x69t\x69");
}

} // namespace
