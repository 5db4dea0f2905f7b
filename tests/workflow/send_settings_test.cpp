// The send settings read from the settings file: each key lands in its own
// field, and a file without them means the defaults the window uses. The
// number checks are exercised through quillet-send's exit statuses.
#include "workflow/SendSettings.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Fields(const TSendSettings& s) {
    return {s.UserName,
            s.UserEmail,
            s.SendType,
            s.SmtpServer,
            s.SmtpUser,
            s.SmtpPassword,
            std::to_string(s.SmtpPort),
            s.SmtpSecurity,
            std::to_string(s.TimeoutSeconds)};
}

} // namespace

TEST(SendSettings, EveryKeyInItsFieldAndTheDefaultsWithoutThem) {
    TTempDir dir;
    EXPECT_EQ(Fields(ReadSendSettings(dir.File("none.ini"))),
              (std::vector<std::string>{"", "", "SMTP", "", "", "", "25", "Auto", "60"}));
    // Names in any letter case, sections in any order.
    dir.Write("q.ini", "[smtp]\nserver=mail.example.org\nUSER=ann\nPassword=pw\nPort=587\n"
                       "Security=STARTTLS\nTimeout=0\n[User]\nname=Ann\nEMAIL=ann@example.org\n"
                       "SendType=Direct\n");
    EXPECT_EQ(Fields(ReadSendSettings(dir.File("q.ini"))),
              (std::vector<std::string>{"Ann", "ann@example.org", "Direct", "mail.example.org",
                                        "ann", "pw", "587", "STARTTLS", "0"}));
    // The options dialog writes empty fields: an empty port is no number.
    dir.Write("e.ini", "[SMTP]\nPort=\n");
    try {
        ReadSendSettings(dir.File("e.ini"));
        ADD_FAILURE() << "an empty port was taken";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "'' is not a valid integer value");
    }
}
