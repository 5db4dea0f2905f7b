// Recipient field parsing (AssignText, SetText) and address rendering.
#include "base/NetException.h"
#include "mail/message/NetEMailAddress.h"

#include <gtest/gtest.h>

namespace {

TEST(AddressItem, ParsesOneAddress) {
    const struct {
        const char *Input, *Name, *Address, *Why;
    } cases[] = {
        {"john@example.com", "", "john@example.com", "bare address"},
        {"  john@example.com  ", "", "john@example.com", "blanks around"},
        {"John Smith <john@example.com>", "John Smith", "john@example.com", "name and angle"},
        {"John\tSmith <j@s.com>", "John\tSmith", "j@s.com", "tab inside the name is kept"},
        {"\"Smith, John\" <j@s.com>", "Smith, John", "j@s.com", "quoted name with comma"},
        {"<j@s.com>", "", "j@s.com", "angle only"},
        {"<j@s . com>", "", "j@s.com", "blanks around a dot in angle brackets"},
        {"john@example.com (John Smith)", "", "john@example.com", "comment dropped"},
        {"abc", "", "abc", "no special character: all of it is the address"},
        {"John <>", "John", "", "empty angle address"},
        // Text that is not part of the mailbox never reaches Address.
        {"x@y.com (a (b) c)", "", "x@y.com", "nested comment after a blank"},
        {"x@y.com(a (b) c)", "", "x@y.com", "nested comment right after the address"},
        {"<a@b.com> \"x\"", "", "a@b.com", "quoted string after the angle address"},
        {"x@y.com (abc", "", "x@y.com", "unclosed comment"},
        {"x@y.com(abc", "", "x@y.com", "unclosed comment without a blank"},
        {"a@b.c d", "", "a@b.c", "word after the blank that ended the address"},
        {"a@b.c d.e f", "", "a@b.c", "several words after the address"},
        {"a@b.c\td", "", "a@b.c", "a tab ends the address too"},
    };
    for (const auto& c : cases) {
        TNetEMailAddressItem item;
        item.SetText(c.Input);
        EXPECT_EQ(item.Name, c.Name) << c.Why << ": " << c.Input;
        EXPECT_EQ(item.Address, c.Address) << c.Why << ": " << c.Input;
    }
}

TEST(AddressItem, AtAfterClosedAngleAddressFailsKeepingWhatWasParsed) {
    TNetEMailAddressItem item;
    try {
        item.SetText("John <j@s.com> k@t.com");
        FAIL() << "no exception";
    } catch (const ENetEmailParseError& e) {
        EXPECT_STREQ(e.what(), "@ Outside address");
    }
    EXPECT_EQ(item.Name, "John");
    EXPECT_EQ(item.Address, "j@s.com");
}

TEST(AddressItem, Renders) {
    const struct {
        const char *Name, *Address, *Text, *Why;
    } cases[] = {
        {"", "a@b.com", "a@b.com", "bare address"},
        {"John Smith", "a@b.com", "John Smith <a@b.com>", "atoms and spaces unquoted"},
        {"Smith, John", "a@b.com", "\"Smith, John\" <a@b.com>", "comma forces quotes"},
        {"Say \"hi\" \\o", "a@b.com", "\"Say \\\"hi\\\" \\\\o\" <a@b.com>", "escapes in the name"},
        {"", "john smith@b.com", "<\"john smith\"@b.com>", "local part with a blank is quoted"},
        {"", "a\"b@c", "<\"a\\\"b\"@c>", "quote in the local part escaped"},
        {"", "a.b@c.com", "a.b@c.com", "first non-atom is a dot: not quoted"},
        {"J", "x@y@z.com", "J <\"x@y\"@z.com>", "split at the last @; the first @ is quoted"},
        {"John", "", "John <>", "name without address"},
        {"ABC", "abc", "<>", "no @ and the name equals the upper-case address"},
        {"", "", "", "empty item"},
        {"", "abc", "", "address without @ renders empty"},
        {"A@B.COM", "a@b.com", "<a@b.com>", "name equal to the upper-case address is left out"},
    };
    for (const auto& c : cases) {
        TNetEMailAddressItem item;
        item.Name = c.Name;
        item.Address = c.Address;
        EXPECT_EQ(item.GetText(), c.Text) << c.Why;
    }
}

// The items of a list as "name <address>", or the address alone.
std::vector<std::string> Entries(const TNetEMailAddressList& list) {
    std::vector<std::string> got;
    for (const auto& item : list.Items)
        got.push_back(item.Name.empty() ? item.Address : item.Name + " <" + item.Address + ">");
    return got;
}

TEST(AddressList, AssignTextSplitsEntries) {
    const struct {
        const char* Input;
        std::vector<std::string> Entries;
        const char* Why;
    } cases[] = {
        {"a@b.com, c@d.com", {"a@b.com", "c@d.com"}, "comma"},
        {"a@b.com; c@d.com", {"a@b.com", "c@d.com"}, "semicolon"},
        {"a@b.com,c@d.com;e@f.com", {"a@b.com", "c@d.com", "e@f.com"}, "mixed, no blanks"},
        {"", {}, "empty"},
        {" \t ", {}, "blank"},
        {"\"Smith, John\" <j@s.com>, Mary Major <m@m.org>",
         {"Smith, John <j@s.com>", "Mary Major <m@m.org>"},
         "quoted comma does not split; names kept"},
        {"a@b.com (x, y), c@d.com", {"a@b.com", "c@d.com"}, "comma in a comment does not split"},
        {"Group: a@b.com, c@d.com;", {"a@b.com", "c@d.com"}, "group name dropped"},
        {"My Group: a@b.com;", {"a@b.com"}, "group name of two words"},
        {"abc", {"abc"}, "lone word without separators is kept"},
        {"abc, d@e.com", {"d@e.com"}, "lone word among entries renders empty: dropped"},
        {"a@b.com,,c@d.com", {"a@b.com", "c@d.com"}, "empty entry"},
        {"John <>, a@b.com", {"John <>", "a@b.com"}, "renders \"John <>\", so it is kept"},
        {"ABC <abc>, a@b.com", {"a@b.com"}, "entry rendering <> dropped"},
        {"a@b.com;;c@d.com", {"a@b.com", "c@d.com"}, "empty entry between semicolons"},
        {"abc; d@e.com", {"abc", "d@e.com"}, "semicolon keeps an entry without a mailbox"},
        {"a@b.com, ", {"a@b.com"}, "trailing separator"},
        {"\"a\\\"b\" <q@r.s>", {"a\"b <q@r.s>"}, "escaped quote in a quoted name"},
    };
    for (const auto& c : cases) {
        TNetEMailAddressList list;
        list.Add().Address = "stale@x.y";
        list.AssignText(c.Input);
        EXPECT_EQ(Entries(list), c.Entries) << c.Why << ": " << c.Input;
    }
}

TEST(AddressList, ParseErrorKeepsEarlierItemsAndTheFailingOne) {
    TNetEMailAddressList list;
    EXPECT_THROW(list.AssignText("a@b.com, John <j@s.com> k@t.com, z@z.com"), ENetEmailParseError);
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"a@b.com", "John <j@s.com>"}));
}

} // namespace
