// Our provider library (libmapi32.so) with a fake xdg-email on PATH that
// records its argv: what reaches the mail client for a send made through
// TEmail, the codes for a failing or missing client and a missing file,
// name resolution, sessions, buffers and the unsupported entry points.
#include "mapi/Email.h"
#include "mapi/SMapi.h"
#include "platform/Program.h"
#include "tests/support/TempDir.h"
#include "tests/support/mail_FakeXdgEmail.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using ::testing::ElementsAre;

namespace {

class ProviderTest : public ::testing::Test {
protected:
    void SetUp() override {
        LoadMapiLibrary(MAPI_PROVIDER_PATH);
        ASSERT_TRUE(MapiAvail());
        UseClient(0);
    }

    void TearDown() override {
        Client.reset();
        UnloadMapiLibrary();
    }

    // A stand-in xdg-email that ends with exitCode.
    void UseClient(int exitCode) {
        Client.reset(); // gives the PATH back first
        Client = std::make_unique<TFakeXdgEmail>(exitCode);
        Client->Install();
    }

    std::string MakeFile(const std::string& name) {
        Dir.Write(name, "data");
        return Dir.File(name);
    }

    const TMapiEntryPoints& Mapi() const { return MapiEntryPoints(); }

    TTempDir Dir;
    std::unique_ptr<TFakeXdgEmail> Client;
};

TEST_F(ProviderTest, SendReachesXdgEmailAsExactlyTheseArguments) {
    const std::string attachment = MakeFile("voice mail 1.mp3");
    const std::string body = "He said \"hi\"; rm -rf / $(touch pwned) `id`\r\nline 2\n'end'";
    TEmail email;
    email.Recipient = {"alice@example.com", "Bob <bob@example.com>"};
    email.CC = {"[SMTP:carol@example.com]"};
    email.Bcc = {"smtp:dave@example.com"};
    email.Subject = "Voice; \"mail\" $(date)";
    email.SetLongText(body);
    email.Attachment = {attachment};
    ASSERT_EQ(email.SendMail(), 0);
    EXPECT_THAT(Client->Args(),
                ElementsAre("--to", "alice@example.com", "--to", "Bob <bob@example.com>", "--cc",
                            "carol@example.com", "--bcc", "dave@example.com", "--subject",
                            "Voice; \"mail\" $(date)", "--body",
                            "He said \"hi\"; rm -rf / $(touch pwned) `id`\nline 2\n'end'",
                            "--attach", attachment));
    EXPECT_FALSE(FileExists(Dir.File("pwned"))) << "no shell saw the text";
    EXPECT_EQ(email.Session(), 0u);
}

// A recipient reaches the client with its display name; the name was lost
// whenever the record carried an address of its own.
TEST_F(ProviderTest, RecipientsKeepTheirNames) {
    struct Case {
        const char* name; // null: no name
        const char* address;
        const char* arg;
    };
    const Case cases[] = {
        {"Cy <cy@example.net>", "cy@example.net", "Cy <cy@example.net>"}, // as resolved
        {"Cy", "SMTP:cy@example.net", "Cy <cy@example.net>"},
        {"Carol [SMTP:c@x.test]", "SMTP:c@x.test", "Carol <c@x.test>"},
        {"Smith, J", "j@x.test", "\"Smith, J\" <j@x.test>"}, // the comma would split it
        {"\"Smith, J\" <j@x.test>", "j@x.test", "\"Smith, J\" <j@x.test>"},
        {"Ann \"Nan\" Lee", "a@x.test", "\"Ann \\\"Nan\\\" Lee\" <a@x.test>"},
        {"cy@example.net", "CY@example.net", "CY@example.net"}, // no name but the address
        {"[SMTP:c@x.test]", "SMTP:c@x.test", "c@x.test"},
        {"Ann <a@x.test>, Lee <b@y.test>", "Ann <a@x.test>, Lee <b@y.test>",
         "Ann <a@x.test>, Lee <b@y.test>"}, // a list keeps its own names
        {nullptr, "cy@example.net", "cy@example.net"},
        {"cy@example.net", "", "cy@example.net"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arg);
        std::string name = c.name ? c.name : "", address = c.address;
        MapiRecipDesc recip = {0, MAPI_CC, c.name ? name.data() : nullptr, address.data(),
                               0, nullptr};
        MapiMessage message = MapiMessage();
        message.nRecipCount = 1;
        message.lpRecips = &recip;
        ASSERT_EQ(Mapi().MAPISendMail(0, 0, &message, 0, 0), SUCCESS_SUCCESS);
        EXPECT_THAT(Client->Args(), ElementsAre("--cc", c.arg));
    }
}

TEST_F(ProviderTest, TextsReachTheClientWholeWithLfLineEnds) {
    // 20 recipients in a 400-character To line; the 255-character cut lost 7.
    std::string to;
    for (int i = 0; i < 20; ++i)
        to += (i ? ", " : "") + std::string("R") + std::to_string(i + 10) + " <r" +
              std::to_string(i + 10) + "@example.test>";
    to.resize(400, ' ');
    const std::string longDir = Dir.File(std::string(200, 'd'));
    ASSERT_EQ(mkdir(longDir.c_str(), 0700), 0);
    const std::string attachment = longDir + "/" + std::string(100, 'f') + ".mp3";
    std::ofstream(attachment) << "data";
    TEmail email;
    email.Recipient = {to};
    email.Subject = std::string(300, 's');
    email.SetLongText("a\r\nb\r\n\r\nc\rd\n");
    email.Attachment = {attachment};
    ASSERT_EQ(email.SendMail(), 0);
    EXPECT_THAT(Client->Args(), ElementsAre("--to", to.substr(0, to.find_last_not_of(' ') + 1),
                                            "--subject", std::string(300, 's'), "--body",
                                            "a\nb\n\nc\nd\n", "--attach", attachment));
}

TEST_F(ProviderTest, NoRecipientsNoSubjectNoBody) {
    // xdg-email refuses empty option values, so empty fields are left out.
    TEmail email;
    email.Recipient = {""};
    email.CC = {""};
    ASSERT_EQ(email.SendMail(), 0);
    EXPECT_TRUE(Client->Ran());
    EXPECT_THAT(Client->Args(), ::testing::IsEmpty());
}

TEST_F(ProviderTest, ClientFailures) {
    struct Case {
        const char* why;
        int exitCode; // -1: not started at all
        bool emptyPath;
        bool missingFile;
        int32_t result;
    };
    const Case cases[] = {
        {"xdg-email exits 1", 1, false, false, 2},
        {"xdg-email exits 3 (no client found)", 3, false, false, 2},
        {"xdg-email not on PATH", -1, true, false, 2},
        {"a file is missing: the client is not started", -1, false, true, 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        UseClient(c.exitCode);
        if (c.emptyPath)
            setenv("PATH", Dir.Path().c_str(), 1);

        MapiFileDesc file = {0, 0, 0xFFFFFFFF, nullptr, nullptr, nullptr};
        std::string path = c.missingFile ? Dir.File("gone.mp3") : MakeFile("here.mp3");
        file.lpszPathName = path.data();
        MapiMessage message = MapiMessage();
        message.nFileCount = 1;
        message.lpFiles = &file;
        EXPECT_EQ(static_cast<int32_t>(Mapi().MAPISendMail(0, 0, &message, 0, 0)), c.result);
        EXPECT_EQ(Client->Ran(), c.exitCode >= 0);
    }
}

TEST_F(ProviderTest, ResolveNameAnswersTheNameItself) {
    struct Case {
        const char* name;
        const char* address;
    };
    const Case cases[] = {
        {"alice@example.com", "alice@example.com"},
        {"Bob <bob@example.com>", "bob@example.com"},
        {"Carol [SMTP:carol@example.com]", "SMTP:carol@example.com"},
        {"Just A Name", "Just A Name"},
        {"  padded@example.com ", "padded@example.com"},
        {"Empty <>", "Empty <>"}, // nothing inside: the whole name
        // A list stands for itself: its first address alone dropped the rest.
        {"Ann <a@x.test>, Lee <b@y.test>", "Ann <a@x.test>, Lee <b@y.test>"},
        {"a@x.test; b@y.test", "a@x.test; b@y.test"},
        {"\"Smith, J\" <j@x.test>", "j@x.test"}, // a quoted comma is no list
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string name = c.name;
        MapiRecipDesc* recip = nullptr;
        ASSERT_EQ(Mapi().MAPIResolveName(0, 0, name.data(), 0, 0, &recip), SUCCESS_SUCCESS);
        ASSERT_NE(recip, nullptr);
        EXPECT_STREQ(recip->lpszName, c.name);
        EXPECT_STREQ(recip->lpszAddress, c.address);
        EXPECT_EQ(recip->ulRecipClass, MAPI_TO);
        EXPECT_EQ(recip->ulEIDSize, 0u);
        EXPECT_EQ(Mapi().MAPIFreeBuffer(recip), SUCCESS_SUCCESS);
        EXPECT_EQ(Mapi().MAPIFreeBuffer(recip), MAPI_E_FAILURE) << "freed once only";
    }
    std::string blank = "   ";
    MapiRecipDesc* recip = reinterpret_cast<MapiRecipDesc*>(1);
    EXPECT_EQ(Mapi().MAPIResolveName(0, 0, blank.data(), MAPI_DIALOG, 0, &recip),
              MAPI_E_UNKNOWN_RECIPIENT);
    EXPECT_EQ(recip, nullptr);
    EXPECT_EQ(Mapi().MAPIFreeBuffer(nullptr), SUCCESS_SUCCESS);
}

TEST_F(ProviderTest, SessionsAndUnsupportedCalls) {
    MapiHandle a = 0, b = 0;
    ASSERT_EQ(Mapi().MAPILogon(0, nullptr, nullptr, MAPI_LOGON_UI, 0, &a), SUCCESS_SUCCESS);
    ASSERT_EQ(Mapi().MAPILogon(0, nullptr, nullptr, 0, 0, &b), SUCCESS_SUCCESS);
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    MapiMessage message = MapiMessage();
    EXPECT_EQ(Mapi().MAPISendMail(a, 0, &message, 0, 0), SUCCESS_SUCCESS);
    EXPECT_EQ(Mapi().MAPILogoff(a, 0, 0, 0), SUCCESS_SUCCESS);
    EXPECT_EQ(Mapi().MAPILogoff(a, 0, 0, 0), MAPI_E_INVALID_SESSION);
    EXPECT_EQ(Mapi().MAPISendMail(a, 0, &message, 0, 0), MAPI_E_INVALID_SESSION);
    EXPECT_EQ(Mapi().MAPILogoff(b, 0, 0, 0), SUCCESS_SUCCESS);

    char id[512] = "";
    MapiMessage* read = reinterpret_cast<MapiMessage*>(1);
    EXPECT_EQ(Mapi().MAPIReadMail(0, 0, id, 0, 0, &read), MAPI_E_NOT_SUPPORTED);
    EXPECT_EQ(read, nullptr);
    EXPECT_EQ(Mapi().MAPIFindNext(0, 0, nullptr, nullptr, 0, 0, id), MAPI_E_NOT_SUPPORTED);
    EXPECT_EQ(Mapi().MAPIDeleteMail(0, 0, id, 0, 0), MAPI_E_NOT_SUPPORTED);
    EXPECT_EQ(Mapi().MAPISaveMail(0, 0, &message, 0, 0, id), MAPI_E_NOT_SUPPORTED);
    MapiULong count = 7;
    MapiRecipDesc* recips = nullptr;
    EXPECT_EQ(Mapi().MAPIAddress(0, 0, nullptr, 0, nullptr, 0, nullptr, 0, 0, &count, &recips),
              MAPI_E_NOT_SUPPORTED);
    EXPECT_EQ(count, 0u);
}

TEST_F(ProviderTest, UnknownRecipientClassIsRefused) {
    std::string address = "x@example.com";
    MapiRecipDesc recip = {0, 7, address.data(), address.data(), 0, nullptr};
    MapiMessage message = MapiMessage();
    message.nRecipCount = 1;
    message.lpRecips = &recip;
    EXPECT_EQ(Mapi().MAPISendMail(0, 0, &message, 0, 0), MAPI_E_BAD_RECIPTYPE);
    EXPECT_FALSE(Client->Ran());
}

} // namespace
