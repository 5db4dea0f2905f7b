// "Direct" delivery to several recipient domains, against a real dnsmasq
// and one real aiosmtpd per domain's mail host on its own loopback address:
// one transaction per domain with only its recipients, and one report when
// a domain fails. Also the Message-ID every composed mail carries, read by
// Python's strict RFC 5322 parser. Port 25 needs root.
#include "workflow/SendWorkflow.h"

#include "dns/NetDNSResolver.h"
#include "platform/Process.h"
#include "tests/support/TempDir.h"
#include "tests/support/dns_Dnsmasq.h"
#include "tests/support/net_Port25.h"
#include "tests/support/smtp_Aiosmtpd.h"

#include <QCoreApplication>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class DirectDomainsTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "direct_domains_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
        Dir.Write("resolv.conf", "nameserver 127.0.0.1\n");
        setenv("QUILLET_RESOLV_CONF", Dir.File("resolv.conf").c_str(), 1);
        Dir.Write("take.mp3", std::string(4000, 'm'));
        Wf.RecordingFile = Dir.File("Quillet.wav");
        Wf.EncodedFile = Dir.File("Quillet.mp3");
        Wf.EncoderCommandLine = "cp take.mp3 Quillet.mp3";
        Wf.OnMessage = [this](const std::string& t) { Notices.push_back(t); };
        Wf.OnInformation = [this](const std::string& t) { Notices.push_back(t); };
        TSendSettings s;
        s.UserName = "Ann Example";
        s.UserEmail = "ann@example.org";
        s.SendType = "Direct";
        Wf.ApplySettings(s);
    }
    TTempDir Dir;
    TSendWorkflow Wf;
    std::vector<std::string> Notices;
};

// MX records of a.quillet-test, b.quillet-test and c.quillet-test at
// 127.0.0.<first>, <first>+1 and <first>+2; nothing listens on the last.
// Each test has addresses of its own, as CTest may run them side by side.
std::vector<std::string> Zone(int first) {
    auto host = [first](int i) { return "127.0.0." + std::to_string(first + i); };
    return {"local=/quillet-test/",
            "mx-host=a.quillet-test," + host(0) + ",10",
            "mx-host=b.quillet-test," + host(1) + ",10",
            "mx-host=c.quillet-test," + host(2) + ",10",
            "local=/" + host(0) + "/",
            "txt-record=" + host(0) + ",exists"};
}

} // namespace

TEST_F(DirectDomainsTest, EachDomainGetsOneTransactionWithOnlyItsRecipients) {
    if (!CanListenOn25("127.0.0.5"))
        GTEST_SKIP() << "needs to listen on port 25 (root)";
    TDnsmasq dns(Zone(4));
    TSmtpAiosmtpd a(false, "127.0.0.4", 25), b(false, "127.0.0.5", 25);
    ASSERT_GT(a.Port(), 0);
    ASSERT_GT(b.Port(), 0);
    Wf.Resolver().Port = dns.Port();
    TSendFields fields{"Mary <mary@a.quillet-test>, Bob <bob@B.quillet-test>",
                       "carol@b.quillet-test", "Voice note", "Hello"};
    ASSERT_TRUE(Wf.Send(fields));
    EXPECT_TRUE(Notices.empty());
    EXPECT_EQ(a.Envelope(1), "login=\nfrom=ann@example.org\nrcpt=mary@a.quillet-test\n");
    EXPECT_EQ(b.Envelope(1),
              "login=\nfrom=ann@example.org\nrcpt=bob@B.quillet-test\nrcpt=carol@b.quillet-test\n");
    EXPECT_EQ(a.Message(2, 300), "") << "each domain gets the mail once";
    EXPECT_EQ(b.Message(2, 300), "");
    // The same text for both, with the full To and Cc headers.
    std::string toA = a.Message(1), toB = b.Message(1);
    EXPECT_EQ(toA, toB);
    EXPECT_NE(toA.find("Cc: carol@b.quillet-test\r\n"), std::string::npos);

    // A Message-ID after "X-Unsent: 1", new for every send, that a strict
    // RFC 5322 parser takes along with Date and From.
    Dir.Write("got.eml", toA);
    int exitCode = -1;
    RunAndWait("python3 -c \"import email,email.policy;"
               "m=email.message_from_bytes(open('got.eml','rb').read(),policy=email.policy.strict);"
               "i=m['message-id'];assert i.startswith('<') and i.endswith('@example.org>');"
               "assert m['date'].datetime and m['from'].addresses\"",
               Dir.Path(), &exitCode);
    EXPECT_EQ(exitCode, 0) << "strict parse";
    size_t id = toA.find("X-Unsent: 1\r\nMessage-ID: <");
    ASSERT_NE(id, std::string::npos);
    fields.Cc.clear();
    fields.To = "mary@a.quillet-test";
    ASSERT_TRUE(Wf.Send(fields));
    std::string again = a.Message(2);
    EXPECT_NE(again.substr(id, 80), toA.substr(id, 80)) << "a fresh Message-ID";
}

TEST_F(DirectDomainsTest, AFailingDomainIsReportedOnceAndTheOthersStillGetTheirMail) {
    if (!CanListenOn25("127.0.0.7"))
        GTEST_SKIP() << "needs to listen on port 25 (root)";
    TDnsmasq dns(Zone(7));
    TSmtpAiosmtpd a(false, "127.0.0.7", 25);
    ASSERT_GT(a.Port(), 0);
    Wf.Resolver().Port = dns.Port();
    TSendFields fields{"bob@c.quillet-test, mary@a.quillet-test", "dan@nowhere.quillet-test",
                       "Voice note", "Hello"};
    EXPECT_FALSE(Wf.Send(fields));
    EXPECT_EQ(a.Envelope(1), "login=\nfrom=ann@example.org\nrcpt=mary@a.quillet-test\n");
    ASSERT_EQ(Notices.size(), 1u);
    EXPECT_EQ(Notices[0],
              "The voice e-mail did not reach every recipient domain.\r\n"
              "c.quillet-test: Socket Error # 10061\r\nConnection refused.:127.0.0.9\r\n"
              "nowhere.quillet-test: Error resolving domain: DNS Server Reports Query Name "
              "Error\r\n"
              "Delivered to: a.quillet-test.");
}
