// TEmail against the recording test provider: the calls, flags and records
// each send makes, the order of events around them, and how resolve, logon
// and attachment failures are reported and cleaned up.
#include "mapi/Email.h"
#include "mapi/SMapi.h"
#include "tests/mapi/TestProvider.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fstream>
#include <unistd.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class EmailTest : public ::testing::Test {
protected:
    void SetUp() override {
        LoadMapiLibrary(MAPI_TEST_PROVIDER_PATH);
        ASSERT_TRUE(MapiAvail());
        // The same file again gives the loaded object, whose state we script.
        void* handle = dlopen(MAPI_TEST_PROVIDER_PATH, RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(handle, nullptr);
        auto* get = reinterpret_cast<TestProviderStateFunc*>(dlsym(handle, "TestProviderState"));
        dlclose(handle);
        ASSERT_NE(get, nullptr);
        S = get();
        S->Reset();

        char dir[] = "/tmp/mapi_email_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        Dir = dir;
        Mp3 = Dir + "/Quillet.mp3";
        std::ofstream(Mp3) << "ID3";

        Email = std::make_unique<TEmail>();
        Sender = Email.get();
        auto log = [this](const char* event) {
            return [this, event](TEmail* sender) {
                EXPECT_EQ(sender, Sender);
                S->Log.push_back(event);
            };
        };
        Email->OnBeforeLogon = log("OnBeforeLogon");
        Email->OnAfterLogon = log("OnAfterLogon");
        Email->OnBeforeLogoff = log("OnBeforeLogoff");
        Email->OnAfterLogoff = log("OnAfterLogoff");
        Email->OnBeforeSendMail = log("OnBeforeSendMail");
        Email->OnAfterSendMail = log("OnAfterSendMail");
        Email->OnMapiError = [this](TEmail*, int32_t code) {
            S->Log.push_back("OnMapiError(" + std::to_string(code) + ")");
        };
    }

    void TearDown() override {
        Email.reset();
        unlink(Mp3.c_str());
        rmdir(Dir.c_str());
        UnloadMapiLibrary();
    }

    // The calls to the provider only, without the events.
    std::vector<std::string> Calls() const {
        std::vector<std::string> calls;
        for (const std::string& entry : S->Log)
            if (entry.rfind("MAPI", 0) == 0)
                calls.push_back(entry);
        return calls;
    }
    const TTestMessage& Sent() const { return S->Sent.at(0); }

    TTestProviderState* S = nullptr;
    std::string Dir, Mp3;
    std::unique_ptr<TEmail> Email;
    TEmail* Sender = nullptr; // stays set while Email is being destroyed
};

TEST_F(EmailTest, SuccessfulSendRaisesEveryEventInItsPlace) {
    Email->Recipient = {"Alice"};
    Email->CC = {"Bob"};
    Email->Subject = "Voice mail";
    Email->SetLongText("Hello");
    Email->Attachment = {Mp3};
    EXPECT_EQ(Email->SendMail(), 0);
    EXPECT_THAT(S->Log, ElementsAre("OnBeforeLogon", "MAPILogon(<null>,<null>,0x0)", "OnAfterLogon",
                                    "MAPIResolveName(Alice,0x0)", "MAPIFreeBuffer",
                                    "MAPIResolveName(Bob,0x0)", "MAPIFreeBuffer",
                                    "OnBeforeSendMail", "MAPISendMail(0x0)", "OnAfterSendMail",
                                    "OnBeforeLogoff", "MAPILogoff(100)", "OnAfterLogoff"));
    EXPECT_EQ(S->LiveBuffers, 0);
    EXPECT_EQ(Email->Session(), 0u);

    const TTestMessage& m = Sent();
    EXPECT_EQ(m.Session, 100u);
    EXPECT_EQ(m.Reserved, 0u);
    EXPECT_EQ(m.Subject, "Voice mail");
    EXPECT_EQ(m.NoteText, "Hello");
    EXPECT_TRUE(m.MessageTypeNull && m.DateReceivedNull && m.ConversationIDNull);
    EXPECT_TRUE(m.OriginatorNull);
    EXPECT_EQ(m.Flags, 0u);
    ASSERT_EQ(m.RecipCount, 2u);
    EXPECT_EQ(m.Recips[0].Class, MAPI_TO);
    EXPECT_EQ(m.Recips[0].Name, "Alice");
    EXPECT_EQ(m.Recips[0].Address, "Alice");
    EXPECT_EQ(m.Recips[1].Class, MAPI_CC);
    EXPECT_EQ(m.Recips[1].Name, "Bob");
    ASSERT_EQ(m.FileCount, 1u);
    const TTestFile& f = m.Files[0];
    EXPECT_EQ(f.Reserved, 0u);
    EXPECT_EQ(f.Flags, 0u);
    EXPECT_EQ(f.Position, 0xFFFFFFFFu);
    EXPECT_EQ(f.Path, Mp3);
    EXPECT_EQ(f.FileName, "Quillet.mp3");
    EXPECT_TRUE(f.FileTypeNull);
}

TEST_F(EmailTest, DialogFlagWhenNothingResolvedOrAsked) {
    struct Case {
        const char* why;
        std::vector<std::string> to, cc, bcc;
        bool showDialog;
        MapiULong sendFlags;
        size_t resolveCalls;
    };
    const Case cases[] = {
        {"empty To and Cc lines: the client asks", {""}, {""}, {}, false, MAPI_DIALOG, 0},
        {"no lines at all", {}, {}, {}, false, MAPI_DIALOG, 0},
        {"an empty Cc is skipped without a resolve", {"Alice"}, {""}, {}, false, 0, 1},
        {"ShowDialog with recipients", {"Alice"}, {}, {}, true, MAPI_DIALOG, 1},
        {"Bcc alone counts as resolved", {""}, {""}, {"Carol"}, false, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        S->Reset();
        Email->Recipient = c.to;
        Email->CC = c.cc;
        Email->Bcc = c.bcc;
        Email->ShowDialog = c.showDialog;
        EXPECT_EQ(Email->SendMail(), 0);
        size_t resolves = 0;
        for (const std::string& call : Calls())
            resolves += call.rfind("MAPIResolveName", 0) == 0;
        EXPECT_EQ(resolves, c.resolveCalls);
        ASSERT_EQ(S->Sent.size(), 1u);
        EXPECT_EQ(Sent().SendFlags, c.sendFlags);
        EXPECT_EQ(Sent().RecipsNull, c.resolveCalls == 0);
        EXPECT_EQ(Sent().RecipCount, c.resolveCalls);
        EXPECT_TRUE(Sent().FilesNull);
        EXPECT_EQ(Sent().FileCount, 0u);
    }
}

TEST_F(EmailTest, ResolveFailures) {
    struct Case {
        const char* why;
        std::deque<TTestResolveAnswer> answers;
        std::vector<std::string> calls; // resolve calls for "Dan"
        std::vector<std::string> errors;
        bool resolved;
    };
    const TTestResolveAnswer ok{0, "Daniel", std::string("dan@example.com"), {}};
    const Case cases[] = {
        {"ambiguous: asked again with the dialog",
         {{MAPI_E_AMBIGUOUS_RECIPIENT, "", {}, {}}, ok},
         {"MAPIResolveName(Dan,0x0)", "MAPIResolveName(Dan,0x8)"},
         {},
         true},
        {"unknown: asked again with the dialog",
         {{MAPI_E_UNKNOWN_RECIPIENT, "", {}, {}}, ok},
         {"MAPIResolveName(Dan,0x0)", "MAPIResolveName(Dan,0x8)"},
         {},
         true},
        {"unknown twice: reported with the second code, skipped",
         {{MAPI_E_UNKNOWN_RECIPIENT, "", {}, {}}, {MAPI_E_USER_ABORT, "", {}, {}}},
         {"MAPIResolveName(Dan,0x0)", "MAPIResolveName(Dan,0x8)"},
         {"OnMapiError(1)"},
         false},
        {"other failure: no second try, skipped",
         {{MAPI_E_FAILURE, "", {}, {}}},
         {"MAPIResolveName(Dan,0x0)"},
         {"OnMapiError(2)"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        S->Reset();
        S->Resolve["Dan"] = c.answers;
        Email->Recipient = {"Dan", "Eve"};
        EXPECT_EQ(Email->SendMail(), 0) << "a skipped line does not change the result";
        std::vector<std::string> danCalls, errors;
        for (const std::string& entry : S->Log) {
            if (entry.rfind("MAPIResolveName(Dan", 0) == 0)
                danCalls.push_back(entry);
            if (entry.rfind("OnMapiError", 0) == 0)
                errors.push_back(entry);
        }
        EXPECT_EQ(danCalls, c.calls);
        EXPECT_EQ(errors, c.errors);
        ASSERT_EQ(S->Sent.size(), 1u) << "still sent to the others";
        const auto& recips = Sent().Recips;
        ASSERT_EQ(recips.size(), c.resolved ? 2u : 1u);
        EXPECT_EQ(recips.back().Name, "Eve");
        if (c.resolved) {
            EXPECT_EQ(recips[0].Name, "Daniel");
            EXPECT_EQ(recips[0].Address, "dan@example.com");
        }
        EXPECT_EQ(S->LiveBuffers, 0);
    }
}

TEST_F(EmailTest, ResolvedNamesAndTheLiteralAddressRule) {
    struct Case {
        const char* why;
        std::string line;
        TTestResolveAnswer answer;
        std::string name, address;
        std::vector<unsigned char> entryId;
        std::string lineAfter; // Recipient[0] after the send
    };
    const std::vector<unsigned char> eid = {1, 2, 3, 0, 255};
    const Case cases[] = {
        {"client dropped the brackets: the line minus first ] and first [",
         "Bob [bob@example.com]",
         {0, "Bob", std::string("bob@example.com"), eid},
         "Bob bob@example.com",
         "Bob bob@example.com",
         {},
         "Bob [bob@example.com]"},
        {"only the first of each bracket goes",
         "[a] [b]",
         {0, "a", std::string("a"), {}},
         "a [b]",
         "a [b]",
         {},
         "[a] [b]"},
        {"brackets kept by the client: resolved record used",
         "Bob [bob@example.com]",
         {0, "Bob [bob@example.com]", std::string("SMTP:bob@example.com"), eid},
         "Bob [bob@example.com]",
         "SMTP:bob@example.com",
         eid,
         "Bob [bob@example.com]"},
        {"only one bracket in the line: resolved record used",
         "Bob [bob",
         {0, "Robert", std::string("rob@example.com"), {}},
         "Robert",
         "rob@example.com",
         {},
         "Robert"},
        {"plain name: the line becomes the resolved name; entry id outlives its buffer",
         "Bob",
         {0, "Robert", std::string("rob@example.com"), eid},
         "Robert",
         "rob@example.com",
         eid,
         "Robert"},
        {"no address resolved: the name again",
         "Bob",
         {0, "Robert", std::nullopt, {}},
         "Robert",
         "Robert",
         {},
         "Robert"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        S->Reset();
        S->Resolve[c.line] = {c.answer};
        Email->Recipient = {c.line};
        EXPECT_EQ(Email->SendMail(), 0);
        ASSERT_EQ(Sent().Recips.size(), 1u);
        const TTestRecip& r = Sent().Recips[0];
        EXPECT_EQ(r.Reserved, 0u);
        EXPECT_EQ(r.Class, MAPI_TO);
        EXPECT_EQ(r.Name, c.name);
        EXPECT_EQ(r.Address, c.address);
        EXPECT_EQ(r.EIDSize, c.entryId.size());
        EXPECT_EQ(r.EntryID, c.entryId);
        EXPECT_EQ(Email->Recipient[0], c.lineAfter);
        EXPECT_EQ(S->LiveBuffers, 0) << "every resolved record released";
    }
}

TEST_F(EmailTest, MissingAttachmentSendsNothingAndClosesTheSession) {
    Email->Recipient = {"Alice"};
    Email->Attachment = {Mp3, Dir + "/missing.mp3"};
    EXPECT_EQ(Email->SendMail(), 11);
    EXPECT_THAT(S->Log,
                ElementsAre("OnBeforeLogon", "MAPILogon(<null>,<null>,0x0)", "OnAfterLogon",
                            "MAPIResolveName(Alice,0x0)", "MAPIFreeBuffer", "OnMapiError(11)",
                            "OnBeforeLogoff", "MAPILogoff(100)", "OnAfterLogoff"));
    EXPECT_TRUE(S->Sent.empty());
    EXPECT_EQ(S->LiveBuffers, 0);
}

TEST_F(EmailTest, LogonFailures) {
    struct Case {
        const char* why;
        std::deque<MapiULong> codes;
        bool downLoadFirst, newSession;
        std::vector<std::string> log;
        int32_t result;
    };
    const Case cases[] = {
        {"failing twice: second code, then 3",
         {MAPI_E_FAILURE, MAPI_E_USER_ABORT},
         false,
         false,
         {"OnBeforeLogon", "MAPILogon(prof,secret,0x0)", "MAPILogon(<null>,<null>,0x1)",
          "OnMapiError(1)", "OnMapiError(3)"},
         3},
        {"logon flags kept in both calls",
         {MAPI_E_FAILURE, MAPI_E_FAILURE},
         true,
         true,
         {"OnBeforeLogon", "MAPILogon(prof,secret,0x1002)", "MAPILogon(<null>,<null>,0x1003)",
          "OnMapiError(2)", "OnMapiError(3)"},
         3},
        {"no default profile: the second logon lets the client ask",
         {MAPI_E_LOGIN_FAILURE, 0},
         false,
         false,
         {"OnBeforeLogon", "MAPILogon(prof,secret,0x0)", "MAPILogon(<null>,<null>,0x1)",
          "OnAfterLogon", "MAPIResolveName(Alice,0x0)", "MAPIFreeBuffer", "OnBeforeSendMail",
          "MAPISendMail(0x0)", "OnAfterSendMail", "OnBeforeLogoff", "MAPILogoff(100)",
          "OnAfterLogoff"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        S->Reset();
        S->LogonCodes = c.codes;
        Email->Profile = "prof";
        Email->Password = "secret";
        Email->DownLoadFirst = c.downLoadFirst;
        Email->NewSession = c.newSession;
        Email->Recipient = {"Alice"};
        EXPECT_EQ(Email->SendMail(), c.result);
        EXPECT_EQ(S->Log, c.log);
        EXPECT_EQ(Email->Session(), 0u) << "a failed logon keeps no handle";
    }
}

TEST_F(EmailTest, ExplicitSessionStaysOpenUntilLogoffOrDestruction) {
    ASSERT_EQ(Email->Logon(), 0);
    EXPECT_EQ(Email->Logon(), 0) << "already open: no second call";
    Email->Recipient = {"Alice"};
    EXPECT_EQ(Email->SendMail(), 0);
    EXPECT_EQ(Email->Session(), 100u);
    EXPECT_THAT(Calls(), ElementsAre("MAPILogon(<null>,<null>,0x0)", "MAPIResolveName(Alice,0x0)",
                                     "MAPIFreeBuffer", "MAPISendMail(0x0)"));
    S->LogoffCode = MAPI_E_INVALID_SESSION;
    Email.reset(); // logs off and ignores the error
    EXPECT_EQ(S->Log.back(), "OnAfterLogoff");
    EXPECT_EQ(Calls().back(), "MAPILogoff(100)");

    Email = std::make_unique<TEmail>();
    EXPECT_EQ(Email->Logoff(), 0) << "no session: nothing to call";
    EXPECT_EQ(Calls().back(), "MAPILogoff(100)");
}

TEST_F(EmailTest, DefaultProfileWithoutAStoreEmptiesProfile) {
    // No desktop keeps a default Simple MAPI profile, so reading it fails.
    Email->Profile = "old";
    Email->Password = "pw";
    Email->UseDefProfile = true;
    EXPECT_EQ(Email->Logon(), 0);
    EXPECT_EQ(Email->Profile, "");
    EXPECT_THAT(Calls(), ElementsAre("MAPILogon(<null>,pw,0x0)"));
}

TEST_F(EmailTest, SendFailureIsReportedAndReturned) {
    S->SendCode = MAPI_E_USER_ABORT;
    Email->Recipient = {"Alice"};
    EXPECT_EQ(Email->SendMail(), 1);
    EXPECT_THAT(S->Log, ElementsAre("OnBeforeLogon", "MAPILogon(<null>,<null>,0x0)", "OnAfterLogon",
                                    "MAPIResolveName(Alice,0x0)", "MAPIFreeBuffer",
                                    "OnBeforeSendMail", "MAPISendMail(0x0)", "OnMapiError(1)",
                                    "OnBeforeLogoff", "MAPILogoff(100)", "OnAfterLogoff"));
}

TEST_F(EmailTest, MessageTextsAndFlags) {
    // Acknowledge asks for a receipt.
    Email->Acknowledge = true;
    Email->Subject = std::string(300, 's');
    Email->Text = "short";
    EXPECT_EQ(Email->SendMail(), 0);
    EXPECT_EQ(Sent().Flags, MAPI_RECEIPT_REQUESTED);
    EXPECT_EQ(Sent().Subject, std::string(300, 's')) << "not cut at 255";
    EXPECT_EQ(Sent().NoteText, "short");

    // A long text replaces Text and is not cut.
    const std::string body = std::string(1000, 'b') + "\r\nend";
    EXPECT_EQ(Email->SetLongText(body), body.size());
    EXPECT_THAT(Email->Text, IsEmpty());
    Email->Acknowledge = false;
    Email->Subject.clear();
    EXPECT_EQ(Email->SendMail(), 0);
    EXPECT_EQ(S->Sent.at(1).NoteText, body);
    EXPECT_EQ(S->Sent.at(1).Subject, std::nullopt) << "empty subject is null";
    EXPECT_EQ(S->Sent.at(1).Flags, 0u);

    // Removing the long text leaves an empty Text: no body at all.
    EXPECT_EQ(Email->SetLongText(nullptr), 0u);
    EXPECT_EQ(Email->SendMail(), 0);
    EXPECT_EQ(S->Sent.at(2).NoteText, std::nullopt);
}

TEST_F(EmailTest, LongRecipientLineIsResolvedWhole) {
    const std::string line = std::string(250, 'n') + "@example.com"; // 262 characters
    Email->Recipient = {line};
    EXPECT_EQ(Email->SendMail(), 0);
    EXPECT_THAT(Calls(), ::testing::Contains("MAPIResolveName(" + line + ",0x0)"));
    EXPECT_EQ(Sent().Recips.at(0).Name, line);
}

} // namespace
