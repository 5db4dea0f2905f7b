// "Direct" delivery, against a real dnsmasq (or a scripted name server for
// answers dnsmasq will not give) and one real aiosmtpd per mail host on its
// own loopback address: the lookup's failures, the exchangers in preference
// order, one transaction per domain with only its recipients, and one
// report when a domain fails, a greylisting domain alone waiting in the
// outbox. Also the Message-ID every composed mail carries, read by
// Python's strict RFC 5322 parser. Port 25 needs root.
#include "platform/Process.h"
#include "tests/support/dns_Dnsmasq.h"
#include "tests/support/dns_FakeServer.h"
#include "tests/support/dns_PacketBuilder.h"
#include "tests/support/net_Ports.h"
#include "tests/support/smtp_Aiosmtpd.h"
#include "tests/workflow/WorkflowFixture.h"
#include "workflow/Outbox.h"

#include <algorithm>

namespace {

class DirectTest : public TWorkflowFixture {
protected:
    void SetUp() override {
        TWorkflowFixture::SetUp();
        UseDirect();
    }
    // A workflow asking the name server on port.
    void AskDnsOn(int port) {
        Make("", port);
        UseDirect();
    }
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

TEST_F(DirectTest, EachDomainGetsOneTransactionWithOnlyItsRecipients) {
    if (!CanListenOn25("127.0.0.5"))
        GTEST_SKIP() << "needs to listen on port 25 (root)";
    TDnsmasq dns(Zone(4));
    TSmtpAiosmtpd a(false, "127.0.0.4", 25), b(false, "127.0.0.5", 25);
    ASSERT_GT(a.Port(), 0);
    ASSERT_GT(b.Port(), 0);
    AskDnsOn(dns.Port());
    TSendFields fields{"Mary <mary@a.quillet-test>, Bob <bob@B.quillet-test>",
                       "carol@b.quillet-test", "Voice note", "Hello"};
    ASSERT_TRUE(Wf->Send(fields));
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
    ASSERT_TRUE(Wf->Send(fields));
    std::string again = a.Message(2);
    EXPECT_NE(again.substr(id, 80), toA.substr(id, 80)) << "a fresh Message-ID";
}

TEST_F(DirectTest, AFailingDomainIsReportedOnceAndTheOthersStillGetTheirMail) {
    if (!CanListenOn25("127.0.0.7"))
        GTEST_SKIP() << "needs to listen on port 25 (root)";
    TDnsmasq dns(Zone(7));
    TSmtpAiosmtpd a(false, "127.0.0.7", 25);
    ASSERT_GT(a.Port(), 0);
    AskDnsOn(dns.Port());
    TSendFields fields{"bob@c.quillet-test, mary@a.quillet-test", "dan@nowhere.quillet-test",
                       "Voice note", "Hello"};
    EXPECT_FALSE(Wf->Send(fields));
    EXPECT_EQ(a.Envelope(1), "login=\nfrom=ann@example.org\nrcpt=mary@a.quillet-test\n");
    ASSERT_EQ(Notices.size(), 1u);
    EXPECT_EQ(Notices[0],
              "The voice e-mail did not reach every recipient domain.\r\n"
              "c.quillet-test: Socket Error # 10061\r\nConnection refused.:127.0.0.9\r\n"
              "nowhere.quillet-test: Error resolving domain: DNS Server Reports Query Name "
              "Error\r\n"
              "Delivered to: a.quillet-test.");
}

// A lookup that fails ends the send with its notice; nothing is connected.
TEST_F(DirectTest, LookupFailuresEndTheSendWithTheirNotice) {
    TDnsmasq dns({"local=/quillet-test/", "mx-host=quillet-test,127.0.0.3,10"});
    TDnsFakeServer nullMx([](const std::string& query, int) {
        TDnsPacketBuilder b = TDnsPacketBuilder::ReplyTo(query);
        b.MX(TDnsPacketBuilder::Section::Answer, "quillet-test", 0, "");
        return std::vector<TDnsFakeDatagram>{{b.Build(), 0, false}};
    });
    struct TCase {
        const char* Why;
        int DnsPort;
        const char* ResolvConf;
        const char* To;
        const char* Notice; // or the error the send raises
    } cases[] = {
        {"no such domain", dns.Port(), "nameserver 127.0.0.1\n", "bob@nowhere.quillet-test",
         "Error resolving domain: DNS Server Reports Query Name Error"},
        {"a null MX (RFC 7505)", nullMx.Port(), "nameserver 127.0.0.1\n", "bob@quillet-test",
         "The domain quillet-test does not accept mail (null MX)."},
        {"no name server known", dns.Port(), "# none\n", "bob@quillet-test", "Error occured!"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        Dir.Write("resolv.conf", c.ResolvConf);
        AskDnsOn(c.DnsPort);
        Notices.clear();
        WaitTexts.clear();
        Fields.To = c.To;
        try {
            EXPECT_FALSE(Wf->Send(Fields));
        } catch (const Exception& e) {
            Notices.push_back(e.Message);
        }
        EXPECT_EQ(Notices, std::vector<std::string>{c.Notice});
        EXPECT_EQ(std::count_if(WaitTexts.begin(), WaitTexts.end(),
                                [](const std::string& t) { return t.rfind("Connecting", 0) == 0; }),
                  0);
    }
}

// The preferred exchanger refuses, the next takes the mail; the domain
// asked for is the recipients' (whatever its letter case), and a domain
// without MX records takes mail at its own address.
TEST_F(DirectTest, ExchangersAreTriedInPreferenceOrder) {
    if (!CanListenOn25("127.0.0.3"))
        GTEST_SKIP() << "needs to listen on port 25 (root)";
    // The exchange names are address literals so nothing is looked up
    // outside loopback.
    TDnsmasq dns({"local=/quillet-test/", "local=/127.0.0.3/", "mx-host=quillet-test,127.0.0.3,20",
                  "mx-host=quillet-test,127.0.0.2,10", "txt-record=127.0.0.3,exists"});
    TSmtpAiosmtpd server(false, "127.0.0.3", 25);
    ASSERT_GT(server.Port(), 0);
    AskDnsOn(dns.Port());
    auto connects = [this] {
        std::vector<std::string> hosts;
        for (const std::string& t : WaitTexts)
            if (t.rfind("Connecting ", 0) == 0)
                hosts.push_back(t.substr(11, t.size() - 14));
        WaitTexts.clear();
        return hosts;
    };
    Fields.To = "Bob <bob@quillet-test>, carol@QUILLET-test";
    EXPECT_TRUE(Wf->Send(Fields));
    EXPECT_EQ(Notices,
              std::vector<std::string>{"Socket Error # 10061\r\nConnection refused.:127.0.0.2"});
    EXPECT_EQ(connects(), (std::vector<std::string>{"127.0.0.2", "127.0.0.3"}));
    EXPECT_EQ(server.Envelope(1),
              "login=\nfrom=ann@example.org\nrcpt=bob@quillet-test\nrcpt=carol@QUILLET-test\n");

    Notices.clear();
    Fields.To = "carol@127.0.0.3";
    EXPECT_TRUE(Wf->Send(Fields));
    EXPECT_TRUE(Notices.empty());
    EXPECT_EQ(connects(), std::vector<std::string>{"127.0.0.3"});
    EXPECT_NE(server.Envelope(2).find("rcpt=carol@127.0.0.3"), std::string::npos);
}

// Two domains, one greylisting: the other gets the mail at once; only the
// greylisting domain's recipients wait in the outbox, and its next try
// brings them the very bytes once.
TEST_F(DirectTest, AGreylistingDomainAloneWaitsInTheOutbox) {
    if (!CanListenOn25("127.0.0.41"))
        GTEST_SKIP() << "needs to listen on port 25 (root)";
    TDnsmasq dns(Zone(40));
    TSmtpAiosmtpdOptions greylisting;
    greylisting.Host = "127.0.0.41";
    greylisting.Port = 25;
    greylisting.Greylist = true;
    TSmtpAiosmtpd a(false, "127.0.0.40", 25), b(greylisting);
    ASSERT_GT(a.Port(), 0);
    ASSERT_GT(b.Port(), 0);
    OutboxDir = Dir.File("outbox");
    AskDnsOn(dns.Port());
    TSendFields fields{"mary@a.quillet-test, bob@b.quillet-test", "carol@B.quillet-test",
                       "Voice note", "Hello"};
    EXPECT_FALSE(Wf->Send(fields));
    EXPECT_TRUE(Wf->Queued());
    EXPECT_EQ(a.Envelope(1), "login=\nfrom=ann@example.org\nrcpt=mary@a.quillet-test\n");
    ASSERT_EQ(Notices.size(), 1u);
    EXPECT_EQ(Notices[0].rfind("The voice e-mail could not be sent now (b.quillet-test: 4.7.1 "
                               "Greylisted, please try again later:127.0.0.41). It is in the "
                               "Outbox and will be sent again at ",
                               0),
              0u)
        << Notices[0];
    const TOutbox outbox(OutboxDir);
    ASSERT_EQ(outbox.List().size(), 1u);
    std::string problem;
    const TOutboxEnvelope e = *outbox.ReadEnvelope(outbox.List()[0], problem);
    EXPECT_EQ(e.Way, TSendType::Direct);
    EXPECT_EQ(e.Recipients,
              (std::vector<std::string>{"bob@b.quillet-test", "carol@B.quillet-test"}));
    EXPECT_EQ(e.Expires, e.Created + 4 * 86400);
    const std::string queued = ReadWholeFile(outbox.MessageFile(outbox.List()[0]));

    const TOutboxPass pass = Wf->SendQueued({false, {}});
    EXPECT_EQ(pass.Remaining, 0u);
    EXPECT_EQ(b.Envelope(1),
              "login=\nfrom=ann@example.org\nrcpt=bob@b.quillet-test\nrcpt=carol@B.quillet-test\n");
    EXPECT_EQ(b.Message(1), queued);
    EXPECT_EQ(a.Message(1), queued) << "one text for every domain";
    EXPECT_EQ(a.Message(2, 300), "");
    EXPECT_EQ(b.Message(2, 300), "");
}
