// The message text goes out in large writes while every command stays one
// write of its own: a 1 MB attachment (about 18000 base64 lines) must not
// take one send per line, and the bytes must be those of the .eml writer.
#include "mail/message/NetMessage.h"
#include "smtp/NetSMTP.h"
#include "tests/net/tcp_MemoryTransport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

TEST(SmtpBuffering, MessageInLargeWritesCommandsAlone) {
    TTempDir dir;
    std::string mp3(1 << 20, '\0');
    for (size_t i = 0; i < mp3.size(); ++i)
        mp3[i] = static_cast<char>(i * 31 + (i >> 9));
    dir.Write("Quillet.mp3", mp3);
    TNetMessage m;
    m.From.Address = "sender@example.test";
    m.Recipients.Add().Address = "to@example.test";
    m.Body = {"text"};
    m.Parts.AddAttachment(dir.File("Quillet.mp3"));
    m.Clock = [] { return time_t(1796613368); };

    TNetSMTP smtp;
    TMemoryTransport& t = AttachTransport(smtp);
    t.IsOpen = false;
    // Every reply at once: the client reads one reply per command.
    t.Input = "220 hi\r\n250 ok\r\n250 reset\r\n250 ok\r\n250 ok\r\n354 go\r\n250 queued\r\n";
    smtp.HeloName = "client.test";
    smtp.ConnectAndGreet();
    smtp.SendMail(m);
    const int commands = 6; // EHLO RSET MAIL RCPT DATA "."
    EXPECT_LT(t.Sends, commands + 10) << "the message went out line by line";

    m.WriteToFile(dir.File("saved.eml"), false);
    const std::string expected = "EHLO client.test\r\nRSET\r\nMAIL FROM:<sender@example.test>\r\n"
                                 "RCPT TO:<to@example.test>\r\nDATA\r\n" +
                                 dir.Read("saved.eml") + ".\r\n";
    EXPECT_TRUE(t.Output == expected) << "bytes differ from the .eml text";
}
