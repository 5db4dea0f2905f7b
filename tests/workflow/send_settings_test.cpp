// The send settings read from the settings file: a file without them means
// the defaults the window uses, and an empty value (the options dialog
// writes empty fields) is not the default. Each key's field and the number
// checks are exercised end to end through quillet-send.
#include "workflow/SendSettings.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

TEST(SendSettings, DefaultsWithoutTheKeysButAnEmptyPortIsNoNumber) {
    TTempDir dir;
    TSendSettings s = ReadSendSettings(dir.File("none.ini"));
    EXPECT_EQ(s.SendType, "SMTP");
    EXPECT_EQ(s.SmtpPort, 25);
    EXPECT_EQ(s.SmtpSecurity, "Auto");
    EXPECT_EQ(s.TimeoutSeconds, 60);
    dir.Write("e.ini", "[SMTP]\nPort=\n");
    EXPECT_THROW(ReadSendSettings(dir.File("e.ini")), EConvertError);
}
