// Integer conversion with its exact error text, trimming and letter case.
// The file error texts are pinned where the message writer raises them.
#include "base/Exception.h"
#include "base/Text.h"

#include <gtest/gtest.h>

TEST(Text, StrToIntAcceptsDecimalAndHexAndRejectsTheRest) {
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
    } cases[] = {
        {"11025", true, 11025},   {"-7", true, -7},         {"+3", true, 3},
        {"$1F", true, 31},        {"0x10", true, 16},       {"2147483647", true, 2147483647},
        {"2147483648", false, 0}, {"", false, 0},           {" 8", false, 0},
        {"8 ", false, 0},         {"44.1", false, 0},       {"abc", false, 0},
        {"-", false, 0},          {"99999999999", false, 0}};
    for (const Case& c : cases) {
        int32_t v = 0;
        EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
    try {
        StrToInt("fast");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "'fast' is not a valid integer value");
    }
}

TEST(Text, TrimDropsControlsAndBlanksOnly) {
    EXPECT_EQ(Trim(" \t\r\n a b \x01"), "a b");
    EXPECT_EQ(Trim("\xE9t\xE9"), "\xE9t\xE9") << "8-bit letters are not blanks";
    EXPECT_TRUE(SameText("Audio", "aUDIO"));
    EXPECT_FALSE(SameText("Audio", "Audio "));
}
