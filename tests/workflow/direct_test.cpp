// "Direct" delivery, against a real dnsmasq (or a scripted name server for
// answers dnsmasq will not give) and one real aiosmtpd per mail host on its
// own loopback address: the lookup's failures, the exchangers in preference
// order, one transaction per domain with only its recipients, and one
// report when a domain fails, a greylisting domain alone waiting in the
// outbox; every address of a host, then the next host unless a 5xx ends
// the domain; which MX records count; international domains. Also the
// Message-ID every composed mail carries, read by Python's strict RFC 5322
// parser. Port 25 needs root. Host names get their addresses from the
// workflow's fixed list, so no hosts file is needed for a name with several.
#include "platform/Process.h"
#include "tests/support/dns_Dnsmasq.h"
#include "tests/support/dns_FakeServer.h"
#include "tests/support/dns_PacketBuilder.h"
#include "tests/support/net_Ports.h"
#include "tests/support/smtp_Aiosmtpd.h"
#include "tests/support/smtp_FakeServer.h"
#include "tests/workflow/WorkflowFixture.h"
#include "workflow/Outbox.h"

#include <algorithm>
#include <functional>
#include <memory>

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
    // The hosts the send connected to, in order; forgets them.
    std::vector<std::string> Connects() {
        std::vector<std::string> hosts;
        for (const std::string& t : WaitTexts)
            if (t.rfind("Connecting ", 0) == 0)
                hosts.push_back(t.substr(11, t.size() - 14));
        WaitTexts.clear();
        return hosts;
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
    Fields.To = "Bob <bob@quillet-test>, carol@QUILLET-test";
    EXPECT_TRUE(Wf->Send(Fields));
    EXPECT_EQ(Notices,
              std::vector<std::string>{"Socket Error # 10061\r\nConnection refused.:127.0.0.2"});
    EXPECT_EQ(Connects(), (std::vector<std::string>{"127.0.0.2", "127.0.0.3"}));
    EXPECT_EQ(server.Envelope(1),
              "login=\nfrom=ann@example.org\nrcpt=bob@quillet-test\nrcpt=carol@QUILLET-test\n");

    Notices.clear();
    Fields.To = "carol@127.0.0.3";
    EXPECT_TRUE(Wf->Send(Fields));
    EXPECT_TRUE(Notices.empty());
    EXPECT_EQ(Connects(), std::vector<std::string>{"127.0.0.3"});
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

// RFC 5321 5.1: every address of a host, then the next host; a 4xx (or a
// 421 anywhere) is the host's trouble, a 5xx the domain's answer.
TEST_F(DirectTest, EveryAddressThenTheNextHostUnlessTheDomainRefuses) {
    if (!CanListenOn25("127.0.0.61"))
        GTEST_SKIP() << "needs to listen on port 25 (root)";
    TDnsmasq dns({"local=/quillet-test/", "mx-host=quillet-test,mx1.quillet-test,10",
                  "mx-host=quillet-test,mx2.quillet-test,20"});
    auto upTo = [](std::vector<TSmtpStep> fault) {
        std::vector<TSmtpStep> s = {Srv("220 mx1"), Cli(), Srv("250 mx1")};
        s.insert(s.end(), fault.begin(), fault.end());
        return s;
    };
    struct TCase {
        const char* Why;
        std::vector<std::string> Mx1;  // mx2 is aiosmtpd on 127.0.0.63
        std::vector<TSmtpStep> Script; // of a scripted mx1 on 127.0.0.62 (none: aiosmtpd on .61)
        bool Mx2Gets;
        const char* Notice;
    } cases[] = {
        {"a dead address, then a live one", {"127.0.0.60", "127.0.0.61"}, {}, false, nullptr},
        {"451 to RCPT: the next host",
         {"127.0.0.62"},
         upTo({Cli("RSET"), Srv("250 ok"), Cli(), Srv("250 ok"), Cli(), Srv("451 try later")}),
         true,
         "try later\r\n:mx1.quillet-test"},
        {"421 to RSET: the next host",
         {"127.0.0.62"},
         upTo({Cli("RSET"), Srv("421 closing")}),
         true,
         "closing\r\n:mx1.quillet-test"},
        {"550 to RCPT: the domain refused",
         {"127.0.0.62"},
         upTo({Cli("RSET"), Srv("250 ok"), Cli(), Srv("250 ok"), Cli(), Srv("550 no such user")}),
         false,
         "no such user\r\n:mx1.quillet-test"},
    };
    TSmtpAiosmtpd live(false, "127.0.0.61", 25), mx2(false, "127.0.0.63", 25);
    ASSERT_GT(live.Port(), 0);
    ASSERT_GT(mx2.Port(), 0);
    int mx2Messages = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        TSmtpFakeOptions at62;
        at62.Address = "127.0.0.62";
        at62.Port = 25;
        std::unique_ptr<TSmtpFakeServer> scripted;
        if (!c.Script.empty())
            scripted = std::make_unique<TSmtpFakeServer>(c.Script, at62);
        HostAddresses = {{"mx1.quillet-test", c.Mx1}, {"mx2.quillet-test", {"127.0.0.63"}}};
        AskDnsOn(dns.Port());
        Notices.clear();
        Fields.To = "bob@quillet-test";
        EXPECT_EQ(Wf->Send(Fields), c.Script.empty() || c.Mx2Gets);
        EXPECT_EQ(Notices,
                  c.Notice ? std::vector<std::string>{c.Notice} : std::vector<std::string>{});
        if (c.Mx2Gets) {
            EXPECT_NE(mx2.Message(++mx2Messages), "");
        }
        EXPECT_EQ(mx2.Message(mx2Messages + 1, 100), "") << "mx2 got a mail it should not";
    }
    EXPECT_NE(live.Message(1), "") << "the live address of mx1";
}

// Only MX records owned by the name asked (after the reply's CNAME) count;
// an exchange must be a host name; at most ten hosts. Nothing listens on
// 127.0.0.79:25, so every host tried is refused at once.
TEST_F(DirectTest, OnlyTheDomainsOwnExchangesAtMostTen) {
    auto reply = [](std::function<void(TDnsPacketBuilder&)> records) {
        return [records](const std::string& query, int) {
            TDnsPacketBuilder b = TDnsPacketBuilder::ReplyTo(query);
            records(b);
            return std::vector<TDnsFakeDatagram>{{b.Build(), 0, false}};
        };
    };
    using S = TDnsPacketBuilder::Section;
    std::vector<std::string> twelve;
    for (int i = 1; i <= 12; ++i)
        twelve.push_back("mx" + std::to_string(i) + ".quillet-test");
    struct TCase {
        const char* Why;
        std::function<void(TDnsPacketBuilder&)> Records;
        std::vector<std::string> Tried;
    } cases[] = {
        {"an MX of another name: the implicit MX",
         [](TDnsPacketBuilder& b) { b.MX(S::Answer, "attacker.test", 10, "evil.quillet-test"); },
         {"quillet-test"}},
        {"the MX of the CNAME's target",
         [](TDnsPacketBuilder& b) {
             b.CNAME(S::Answer, "QUILLET-test", "alias.quillet-test");
             b.MX(S::Answer, "alias.quillet-test", 10, "mx1.quillet-test");
         },
         {"mx1.quillet-test"}},
        {"an exchange with CR LF is no host name",
         [](TDnsPacketBuilder& b) {
             b.MX(S::Answer, "quillet-test", 5, "mx2.quillet-test\r\nRCPT TO:<x@y>");
             b.MX(S::Answer, "quillet-test", 10, "mx1.quillet-test");
         },
         {"mx1.quillet-test"}},
        {"twelve hosts: the first ten by preference",
         [&twelve](TDnsPacketBuilder& b) {
             for (size_t i = 0; i < twelve.size(); ++i)
                 b.MX(S::Answer, "quillet-test", uint16_t(100 - i), twelve[11 - i]);
         },
         std::vector<std::string>(twelve.begin(), twelve.begin() + 10)},
    };
    HostAddresses = {{"quillet-test", {"127.0.0.79"}}, {"evil.quillet-test", {"127.0.0.79"}}};
    for (const std::string& host : twelve)
        HostAddresses[host] = {"127.0.0.79"};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        TDnsFakeServer dns(reply(c.Records));
        AskDnsOn(dns.Port());
        Fields.To = "bob@quillet-test";
        WaitTexts.clear();
        EXPECT_FALSE(Wf->Send(Fields));
        EXPECT_EQ(Connects(), c.Tried);
    }
}

// A domain with non-ASCII letters is asked and delivered to as A-labels;
// the .eml file keeps the address as typed.
TEST_F(DirectTest, AnInternationalDomainIsAskedInItsALabelForm) {
    if (!CanListenOn25("127.0.0.64"))
        GTEST_SKIP() << "needs to listen on port 25 (root)";
    TDnsmasq dns({"local=/quillet-test/", "mx-host=xn--bcher-kva.quillet-test,mx.quillet-test,10"});
    TSmtpAiosmtpd mx(false, "127.0.0.64", 25);
    ASSERT_GT(mx.Port(), 0);
    HostAddresses = {{"mx.quillet-test", {"127.0.0.64"}}};
    AskDnsOn(dns.Port());
    Fields.To = "bob@b\xC3\xBC"
                "cher.quillet-test";
    EXPECT_TRUE(Wf->Send(Fields));
    EXPECT_EQ(Notices, std::vector<std::string>{});
    EXPECT_EQ(mx.Envelope(1),
              "login=\nfrom=ann@example.org\nrcpt=bob@xn--bcher-kva.quillet-test\n");
    EXPECT_NE(mx.Message(1).find("To: bob@xn--bcher-kva.quillet-test\r\n"), std::string::npos);
    Wf->SaveAs(Fields, Dir.File("typed.eml"));
    EXPECT_NE(Dir.Read("typed.eml")
                  .find("To: bob@b\xC3\xBC"
                        "cher.quillet-test\r\n"),
              std::string::npos);
}
