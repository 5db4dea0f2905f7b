// Reply reading and line limits of TNetTCPConnection over an in-memory
// transport: multi-line end markers, short and non-numeric lines, LF-only
// lines, the line-length limit around its edge, and the caps on replies.
#include "net/NetDeliveryException.h"
#include "net/NetTCPConnection.h"
#include "tests/net/tcp_MemoryTransport.h"

#include <gtest/gtest.h>

namespace {

struct Fixture {
    TNetTCPConnection C;
    TMemoryTransport& T = AttachTransport(C);
    Fixture(const std::string& input, size_t chunk) {
        T.Input = input;
        T.Chunk = chunk;
    }
};

struct ReplyCase {
    const char* Why;
    std::string Input;
    int16_t Code;
    std::string TextCode;
    std::vector<std::string> Text;
    std::string Next; // the line after the reply, "" for none
};

const ReplyCase ReplyCases[] = {
    {"three lines, codes stripped",
     "250-a.example\r\n250-SIZE 10\r\n250 HELP\r\n",
     250,
     "250",
     {"a.example", "SIZE 10", "HELP"},
     ""},
    {"single line", "220 ready\r\n", 220, "220", {"ready"}, ""},
    {"ends on the bare code", "250-one\r\n250\r\nnext\r\n", 250, "250", {"one", ""}, "next"},
    {"ends on a short continuation line",
     "250-one\r\nab\r\n250 x\r\n",
     250,
     "250",
     {"one", ""},
     "250 x"},
    {"other codes in between are text",
     "250-one\r\n220-two\r\n221 three\r\n250 end\r\n",
     250,
     "250",
     {"one", "two", "three", "end"},
     ""},
    {"end marker compared without case", "25a-one\r\n25A end\r\n", 0, "25a", {"one", "end"}, ""},
    {"non-numeric code: its fifth character on is text",
     "hello there\r\n",
     0,
     "hell",
     {"o there"},
     ""},
    {"empty lines before the reply skipped", "\r\n\r\n  \r\n354 go\r\n", 354, "354", {"go"}, ""},
    {"LF-only lines", "250-a\n250 b\n", 250, "250", {"a", "b"}, ""},
    {"CR kept out of the text", "250 text\r\r\n", 250, "250", {"text"}, ""},
    {"three-character line", "421\r\n", 421, "421", {""}, ""},
    {"code and hyphen only", "250-\r\n250 \r\n", 250, "250", {"", ""}, ""},
    {"surrounding blanks trimmed", "  250 ok  \r\n", 250, "250", {"ok"}, ""},
};

TEST(TcpReply, ParsesRepliesInAnyChunking) {
    for (const ReplyCase& c : ReplyCases)
        for (size_t chunk : {size_t(65536), size_t(1), size_t(3)}) {
            SCOPED_TRACE(std::string(c.Why) + ", chunk " + std::to_string(chunk));
            Fixture f(c.Input, chunk);
            EXPECT_EQ(f.C.ReadReply({}), c.Code);
            EXPECT_EQ(f.C.LastReply.NumericCode, c.Code);
            EXPECT_EQ(f.C.LastReply.TextCode, c.TextCode);
            EXPECT_EQ(f.C.LastReply.Text, c.Text);
            // The reply must end where it ends, not swallow the next line.
            if (!c.Next.empty()) {
                EXPECT_EQ(f.C.ReadLine(), c.Next);
            }
        }
}

TEST(TcpReply, CheckAgainstAcceptedCodes) {
    Fixture f("550-No such user\r\n550 here\r\n", 65536);
    try {
        f.C.ReadReply({250, 251});
        FAIL() << "550 accepted";
    } catch (const ENetProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode, 550);
        EXPECT_EQ(e.Message, "No such user\r\nhere\r\n");
    }
    Fixture g("xyz nonsense\r\nxyz nonsense\r\n", 65536);
    EXPECT_THROW(g.C.ReadReply({250}), ENetProtocolReplyError);
    EXPECT_EQ(g.C.ReadReply({}), 0) << "an empty list accepts a non-numeric reply";
}

// A rejected reply's text ends up in a message box: markup stays text,
// control characters go, and a flood is cut.
TEST(TcpReply, RejectedReplyTextIsMadeSafe) {
    const std::string x5000(5000, 'x');
    const std::pair<std::string, std::string> cases[] = {
        {std::string("550-<a href=\"http://x\">click</a>\x1b[2J\r\n550 no\0 bell\x07\t!\r\n", 55),
         "<a href=\"http://x\">click</a>[2J\r\nno bell!\r\n"},
        {"554 " + x5000 + "\r\n", std::string(2000, 'x')},
    };
    for (const auto& [input, message] : cases) {
        SCOPED_TRACE(message.substr(0, 40));
        Fixture f(input, 65536);
        try {
            f.C.ReadReply({250});
            FAIL() << "accepted";
        } catch (const ENetProtocolReplyError& e) {
            EXPECT_EQ(e.Message, message);
        }
    }
    // The cut never splits a UTF-8 sequence.
    EXPECT_EQ(SafeServerText(std::string(1999, 'x') + "\xC3\xA9" + "tail"), std::string(1999, 'x'));
}

TEST(TcpReply, PeerClosingMidReply) {
    for (const char* input : {"250-first\r\n250-second\r\n", "250-first\r\n250 par", ""}) {
        SCOPED_TRACE(input);
        Fixture f(input, 65536);
        try {
            f.C.ReadReply({});
            FAIL() << "no error";
        } catch (const ENetConnClosedGracefully& e) {
            EXPECT_EQ(e.Message, "Connection Closed Gracefully.");
        }
    }
}

TEST(TcpReply, EndlessRepliesAreCapped) {
    std::string manyLines;
    for (int i = 0; i < 5000; ++i)
        manyLines += "250-more\r\n";
    std::string manyEmpty(20000, '\n');
    std::string manyBytes;
    for (int i = 0; i < 10; ++i)
        manyBytes += "250-" + std::string(16000, 'x') + "\r\n";
    for (const std::string* input : {&manyLines, &manyEmpty, &manyBytes}) {
        Fixture f(*input, 4096);
        f.T.CloseAtEnd = false; // the server would go on for ever
        try {
            f.C.ReadReply({});
            FAIL() << "no error";
        } catch (const ENetReplyTooLong& e) {
            EXPECT_EQ(e.Message, "Server reply too long.");
        }
    }
    // Just under the line cap still reads.
    std::string under;
    for (int i = 0; i < TNetTCPConnection::MaxReplyLines - 1; ++i)
        under += "250-l\r\n";
    Fixture ok(under + "250 end\r\n", 65536);
    EXPECT_EQ(ok.C.ReadReply({250}), 250);
    EXPECT_EQ(ok.C.LastReply.Text.size(), size_t(TNetTCPConnection::MaxReplyLines));
}

struct LineCase {
    const char* Why;
    std::string Input;
    bool Accepted;
};

TEST(TcpReadLine, LengthLimitCountsTheLineWithoutItsTerminator) {
    const std::string max(16384, 'a');
    const LineCase cases[] = {
        {"16384 + CR LF", max + "\r\n", true},
        {"16384 + LF", max + "\n", true},
        {"16385 + CR LF", max + "a\r\n", false},
        {"16385 + LF", max + "a\n", false},
        {"16384 + CR CR LF: the first CR is content", max + "\r\r\n", false},
        {"16385 buffered, no terminator yet", max + "a", false},
    };
    for (const LineCase& c : cases)
        for (size_t chunk : {size_t(65536), size_t(1000)}) {
            SCOPED_TRACE(std::string(c.Why) + ", chunk " + std::to_string(chunk));
            Fixture f(c.Input, chunk);
            f.T.CloseAtEnd = false;
            if (c.Accepted) {
                EXPECT_EQ(f.C.ReadLine(), max);
            } else {
                try {
                    f.C.ReadLine();
                    FAIL() << "accepted";
                } catch (const ENetReadLnMaxLineLengthExceeded& e) {
                    EXPECT_EQ(e.Message, "Max line length exceeded.");
                }
            }
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
