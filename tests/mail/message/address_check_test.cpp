// The checks of typed recipients, header texts and the own address: what
// would be sent differently from what was typed is refused with its text.
// A lone word as recipient, a pasted "MAIL FROM" parameter as own address
// and a control character in the subject are the send workflow's cases.
#include "mail/message/NetAddressCheck.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// The message check raises, or "" when it passes.
std::string Refusal(const std::function<void()>& check) {
    try {
        check();
        return "";
    } catch (const ENetInvalidAddress& e) {
        return e.Message;
    }
}

TEST(AddressCheck, RecipientPieces) {
    const struct {
        std::string Text, Refused; // the piece named in the message, "" = accepted
        const char* Why;
    } cases[] = {
        {"a@x.test, B <b@y.test>", "", "plain list"},
        {"\"Smith, J\" <j@x.test>; a@x.test (Ann)", "", "quoted comma, comment"},
        {"Team: a@x.test, b@y.test;", "", "a group: its name is no recipient"},
        {"  ,  a@x.test ,", "", "blank pieces are skipped"},
        {"a@x.test, bob@x.test carol@x.test", "bob@x.test carol@x.test", "carol was dropped"},
        {"bob@x.test Bcc: evil@x.test", "bob@x.test Bcc", "pasted line: only evil was reached"},
        {"\"a>b\"@example.test", "\"a>b\"@example.test", "became RCPT TO:<@example.test>"},
        {"B <b@y.test> more", "B <b@y.test> more", "text after the angle address"},
        {"Name a@x.test", "Name a@x.test", "a name needs angle brackets"},
        {"<@x.test>", "<@x.test>", "empty local part"},
        {"a@", "a@", "empty domain"},
        {"a@b@c.test", "a@b@c.test", "two at signs"},
        {"B <b@y.test", "B <b@y.test", "unclosed angle"},
        {"x@y.test (open", "x@y.test (open", "unclosed comment"},
    };
    for (const auto& c : cases) {
        const std::string expected =
            c.Refused.empty() ? "" : "'" + c.Refused + "' is not a valid e-mail address.";
        EXPECT_EQ(Refusal([&] { CheckRecipientText(c.Text); }), expected) << c.Why;
    }
}

TEST(AddressCheck, ControlCharacters) {
    const struct {
        std::string Text;
        bool Refused;
        const char* Why;
    } cases[] = {
        {std::string("a@x.test\0b", 10), true, "NUL reached RCPT and the header"},
        {"a@x.test\r\n", true, "CR LF"},
        {"Ann\x7F <a@x.test>", true, "DEL in a display name"},
        {"Ann\t<a@x.test>", false, "TAB is a blank"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Refusal([&] { CheckRecipientText(c.Text, "To field"); }),
                  c.Refused ? "The To field contains a control character." : "")
            << c.Why;
        EXPECT_EQ(Refusal([&] { CheckHeaderText("subject", c.Text); }),
                  c.Refused ? "The subject contains a control character." : "")
            << c.Why;
    }
}

TEST(AddressCheck, OwnAddressIsPlain) {
    const struct {
        std::string Text;
        bool Refused;
        const char* Why;
    } cases[] = {
        {"john@example.com", false, ""},
        {"<a@x>", true, "brackets"},
        {"John <a@x>", true, "a name"},
        {"a@x\r\nRCPT TO:<b@y>", true, "line break"},
        {"", true, "empty"},
        {"ax", true, "no at sign"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Refusal([&] { CheckPlainAddress(c.Text); }),
                  c.Refused ? "Your e-mail address '" + c.Text +
                                  "' in Options is not a valid e-mail address."
                            : "")
            << c.Why;
}

} // namespace
