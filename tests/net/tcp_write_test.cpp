// Writing on a TNetTCPConnection: commands with line breaks refused before
// anything is sent, write buffering (same bytes, fewer sends, threshold
// flushes), and closing.
#include "net/NetDeliveryException.h"
#include "net/NetTCPConnection.h"
#include "tests/net/tcp_MemoryTransport.h"

#include <gtest/gtest.h>

namespace {

TEST(TcpWrite, CommandWithLineBreakIsRefusedBeforeSending) {
    for (const char* bad : {"MAIL FROM:<a@b>\r\nRCPT TO:<x@y>", "HELO x\nDATA", "a\rb", "\n"}) {
        SCOPED_TRACE(bad);
        TNetTCPConnection c;
        TMemoryTransport& t = AttachTransport(c);
        t.Input = "250 ok\r\n";
        EXPECT_THROW(c.SendCommand(bad, 250), ENetLineBreakInCommand);
        EXPECT_THROW(c.WriteLine(bad), ENetLineBreakInCommand);
        EXPECT_EQ(t.Output, "");
        EXPECT_EQ(c.InputBufferSize(), 0u) << "no reply read either";
    }
}

TEST(TcpWrite, SendCommandWritesOneLineAndReadsTheReply) {
    TNetTCPConnection c;
    TMemoryTransport& t = AttachTransport(c);
    t.Input = "250 ok\r\n";
    EXPECT_EQ(c.SendCommand("NOOP", 250), 250);
    EXPECT_EQ(t.Output, "NOOP\r\n");
    EXPECT_EQ(t.Sends, 1);
}

TEST(TcpWrite, BufferingKeepsBytesAndJoinsSends) {
    std::string expected;
    TNetTCPConnection c;
    TMemoryTransport& t = AttachTransport(c);
    c.StartWriteBuffering(1000);
    for (int i = 0; i < 100; ++i) {
        std::string line = "line " + std::to_string(i);
        c.WriteLine(line);
        expected += line + "\r\n";
    }
    c.WriteBytes("raw", 3, false);
    expected += "raw";
    const int beforeStop = t.Sends;
    EXPECT_EQ(beforeStop, int(expected.size() / 1000)) << "one send per full threshold block";
    c.StopWriteBuffering();
    EXPECT_EQ(t.Output, expected);
    EXPECT_EQ(t.Sends, beforeStop + 1);
    EXPECT_FALSE(c.WriteBuffering());
    c.WriteLine("after");
    EXPECT_EQ(t.Sends, beforeStop + 2) << "unbuffered again";

    // writeNow bypasses an open buffer.
    c.StartWriteBuffering();
    c.WriteLine("held");
    c.WriteBytes("now", 3, true);
    EXPECT_EQ(t.Output.substr(expected.size()), "after\r\nnow");
    c.StopWriteBuffering();
    EXPECT_EQ(t.Output.substr(expected.size()), "after\r\nnowheld\r\n");
}

TEST(TcpWrite, WritingWithoutConnection) {
    TNetTCPConnection c;
    EXPECT_THROW(c.WriteLine("x"), ENetNotConnected);
    EXPECT_NO_THROW(c.WriteText("")) << "nothing to write is no error";
    EXPECT_NO_THROW(c.CloseConnection());
    EXPECT_FALSE(c.IsConnected());

    TMemoryTransport& t = AttachTransport(c);
    EXPECT_TRUE(c.IsConnected());
    c.CloseConnection();
    EXPECT_FALSE(c.IsConnected());
    try {
        c.WriteLine("x");
        FAIL();
    } catch (const ENetConnClosedGracefully& e) {
        EXPECT_EQ(e.Message, "Connection Closed Gracefully.");
    }
    EXPECT_EQ(t.Output, "");
}

TEST(TcpWrite, FailedFlushStillEndsBuffering) {
    TNetTCPConnection c;
    TMemoryTransport& t = AttachTransport(c);
    c.StartWriteBuffering();
    c.WriteLine("pending");
    t.Close();
    EXPECT_THROW(c.StopWriteBuffering(), ENetException);
    EXPECT_FALSE(c.WriteBuffering());
}

} // namespace
