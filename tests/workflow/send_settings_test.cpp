// The settings model: a file without the keys means the defaults, an empty
// value (the options dialog writes empty fields) is not the default, and a
// value that cannot be used becomes a problem naming it while every other
// key is still read. Both front ends are tested end to end over it.
#include "platform/Keyring.h"
#include "tests/support/TempDir.h"
#include "tests/support/keyring_GnomeKeyring.h"
#include "workflow/SendSettings.h"

#include <gtest/gtest.h>

TEST(SendSettings, UnusableValuesAreNamedAndTheirDefaultsUsed) {
    TTempDir dir;
    const std::string ini = dir.File("q.ini");
    TSettings none = ReadSettings(dir.File("none.ini"));
    EXPECT_TRUE(none.Problems.empty());
    EXPECT_EQ(none.Send.SendType, TSendType::Smtp);
    EXPECT_EQ(none.Send.SmtpPort, 25);
    EXPECT_EQ(none.Send.SmtpSecurity, ssAuto);
    EXPECT_EQ(none.Send.TimeoutSeconds, 60);
    EXPECT_EQ(none.Recording.SampleRate, 11025);
    EXPECT_EQ(none.Recording.Device, "default");
    EXPECT_TRUE(none.Recording.Level) << "the voice is levelled unless switched off";
    EXPECT_FALSE(none.Recording.Denoise);

    struct TCase {
        const char* Line; // in its section
        const char* Section;
        const char* Message;
    } cases[] = {
        {"Port=abc", "SMTP",
         "'abc' is not a valid port number (key Port in section [SMTP] of {}); the default 25 is "
         "used instead."},
        {"Port=", "SMTP",
         "'' is not a valid port number (key Port in section [SMTP] of {}); the default 25 is used "
         "instead."},
        {"Port=70000", "SMTP",
         "'70000' is not a valid port number (key Port in section [SMTP] of {}); the default 25 is "
         "used instead."},
        {"Timeout=abc", "SMTP",
         "'abc' is not a valid time-out (key Timeout in section [SMTP] of {}); the default 60 is "
         "used instead."},
        {"Timeout=-1", "SMTP",
         "'-1' is not a valid time-out (key Timeout in section [SMTP] of {}); the default 60 is "
         "used instead."},
        {"Auth=Token", "SMTP",
         "'Token' is not one of Password, OAuth2 (key Auth in section [SMTP] of {}); Password is "
         "used instead."},
        {"OAuthProvider=Yahoo", "SMTP",
         "'Yahoo' is not one of Google, Microsoft, Custom (key OAuthProvider in section [SMTP] of "
         "{}); Google is used instead."},
        {"SampleRate=fast", "Audio", "'fast' is not a valid integer value"},
        {"SampleRate=70000", "Audio", "'70000' is not a valid sample rate"},
        {"Level=yes", "Audio",
         "'yes' is not 1 or 0 (key Level in section [Audio] of {}); the default 1 is used "
         "instead."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Line);
        const bool smtp = std::string(c.Section) == "SMTP";
        dir.Write("q.ini", std::string("[User]\nName=Ann\n[Audio]\n") + (smtp ? "" : c.Line) +
                               "\n[SMTP]\n" + (smtp ? c.Line : "") +
                               "\nServer=mail.example.org\nSecurity=SSL/TLS\n");
        TSettings s = ReadSettings(ini);
        ASSERT_EQ(s.Problems.size(), 1u);
        std::string expected = c.Message;
        if (size_t at = expected.find("{}"); at != std::string::npos)
            expected.replace(at, 2, ini);
        EXPECT_EQ(s.Problems[0].Message, expected);
        EXPECT_EQ(s.Send.UserName, "Ann") << "the keys before it apply";
        EXPECT_EQ(s.Send.SmtpServer, "mail.example.org") << "and the keys after it";
        EXPECT_EQ(s.Send.SmtpSecurity, ssImplicitTLS);
        EXPECT_EQ(s.Send.SmtpPort, 25);
        EXPECT_EQ(s.Send.TimeoutSeconds, 60);
        EXPECT_EQ(s.Recording.SampleRate, 11025);
        EXPECT_TRUE(s.Recording.Level);
    }

    // A way of sending is compared exactly; its text is kept for messages.
    dir.Write("q.ini", "[User]\nSendType=smtp\n");
    TSettings lower = ReadSettings(ini);
    EXPECT_EQ(lower.Send.SendType, TSendType::None);
    EXPECT_EQ(lower.Send.SendTypeValue, "smtp");
}

// The password is the file's key when filled, else the keyring's for the
// configured server and user (gnome-keyring on a private bus).
TEST(SendSettings, PasswordComesFromTheFileOrTheKeyring) {
    TKeyringGnomeKeyring service;
    if (!service.Failure().empty())
        GTEST_SKIP() << "no Secret Service can run here: " << service.Failure();
    setenv("DBUS_SESSION_BUS_ADDRESS", service.Address().c_str(), 1);
    ASSERT_TRUE(TKeyring().StorePassword("smtp.example.org", "ann", "from-keyring"));
    ASSERT_TRUE(TKeyring().StorePassword("smtp.example.org", "bob", "bobs"));
    const std::string base = "[SMTP]\nServer=smtp.example.org\nUser=ann\n";
    struct {
        const char* Why;
        std::string Ini;
        const char* Password;
    } cases[] = {
        {"empty file key: the keyring's", base + "Password=\n", "from-keyring"},
        {"no file key: the keyring's", base, "from-keyring"},
        {"a filled file key wins", base + "Password=typed\n", "typed"},
        {"another server has none", "[SMTP]\nServer=other.example.org\nUser=ann\n", ""},
    };
    TTempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Why);
        dir.Write("q.ini", c.Ini);
        EXPECT_EQ(ReadSettings(dir.File("q.ini")).Send.SmtpPassword, c.Password);
    }
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    dir.Write("q.ini", base);
    EXPECT_EQ(ReadSettings(dir.File("q.ini")).Send.SmtpPassword, "")
        << "without a keyring the file's empty key";
}
