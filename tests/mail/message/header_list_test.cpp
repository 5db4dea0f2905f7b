// Header lists: lookup, SetHeader placement and removal, and folding.
#include "mail/message/NetHeaderCoder.h"
#include "mail/message/NetHeaderList.h"

#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

namespace {

std::string Join(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines)
        s += l + "|";
    return s;
}

TEST(HeaderList, FindAndGetIgnoreCaseAndUnfold) {
    TNetHeaderList h;
    h.Add("X-Unsent: 1");
    h.Add("Subject:  first");
    h.Add("\tsecond ");
    h.Add("  third");
    h.Add("To: a@b.c");
    EXPECT_EQ(h.FindHeader("subject"), 1);
    EXPECT_EQ(h.FindHeader("Sub"), -1);
    EXPECT_EQ(h.GetHeader("SUBJECT"), "first second third");
    EXPECT_EQ(h.GetHeader("to"), "a@b.c");
    EXPECT_EQ(h.GetHeader("Cc"), "");
}

TEST(HeaderList, SetHeaderReplacesInPlaceAppendsFoldsAndRemoves) {
    TNetHeaderList h;
    h.Add("A: 1");
    h.Add("B: old");
    h.Add(" old continuation");
    h.Add("C: 3");
    h.SetHeader("b", "new");
    EXPECT_EQ(Join(h.Lines), "A: 1|b: new|C: 3|") << "kept its place, continuation gone";
    h.SetHeader("D", "4");
    EXPECT_EQ(Join(h.Lines), "A: 1|b: new|C: 3|D: 4|");
    h.Add("E: 5");
    h.Add("\tfive");
    h.SetHeader("E", "");
    h.SetHeader("Missing", "");
    EXPECT_EQ(Join(h.Lines), "A: 1|b: new|C: 3|D: 4|") << "empty value removes with continuation";
    h.Add("A: 1");
    EXPECT_EQ(h.Count(), 5) << "plain adding does not merge duplicates";
    const std::string to = "aaaaaaaaaaaaaaaaaaaa@example.com, bbbbbbbbbbbbbbbbbbbb@example.com, "
                           "cccccccccccccccccccc@example.com";
    h.SetHeader("D", to);
    EXPECT_EQ(Join(h.Lines), "A: 1|b: new|C: 3|D: aaaaaaaaaaaaaaaaaaaa@example.com, "
                             "bbbbbbbbbbbbbbbbbbbb@example.com,| cccccccccccccccccccc@example.com|"
                             "A: 1|")
        << "folded in place";
    EXPECT_EQ(h.GetHeader("d"), to) << "read back unfolded";
}

// Folding only inserts CR LF before a blank (or a blank after a comma that
// has none): lines within 78 columns where a break point allows, never
// inside quotes or an encoded word, existing folds kept, no blank lines.
TEST(Folding, BreaksAtTheLastBreakPointWithinTheWidth) {
    std::string line77 = "Subject: ";
    while (line77.size() < 77)
        line77 += line77.size() % 10 == 0 ? ' ' : 'x';
    std::string to = "To: ";
    for (int i = 0; i < 6; ++i)
        to += "user" + std::to_string(i) + "@example.com" + (i < 5 ? ", " : "");
    std::string commas;
    for (int i = 0; i < 12; ++i)
        commas += "abcdefgh,";
    const std::string a30(30, 'a'), b20(20, 'b'), b30(30, 'b'), c30(30, 'c');
    const std::string qword =
        "=?UTF-8?Q?" + std::string(20, 'a') + ",b,c,d,e=C3=BC" + std::string(30, 'f') + "?=";
    const struct {
        std::string Line, Folded;
        const char* Why;
    } cases[] = {
        {line77, line77 + "|", "77 columns stay"},
        {to,
         "To: user0@example.com, user1@example.com, user2@example.com,| user3@example.com, "
         "user4@example.com, user5@example.com|",
         "after the last comma that fits; the blank after it starts the next line"},
        {"To: " + std::string(73, 'a') + ", bbbbb", "To: " + std::string(73, 'a') + ",| bbbbb|",
         "a comma at the width and the blank after it: one blank"},
        {"To: " + commas, "To: " + commas.substr(0, 72) + "| " + commas.substr(72) + "|",
         "commas only: a blank is added after the comma"},
        {"X-Long:" + std::string(120, 'a'), "X-Long:" + std::string(120, 'a') + "|",
         "no break point: one line"},
        {"Subject: " + std::string(70, 'a') + "\t" + b20,
         "Subject:| " + std::string(70, 'a') + "|\t" + b20 + "|",
         "a tab where the line breaks stays a tab"},
        {"Subject: " + std::string(68, 'a') + "  " + b20,
         "Subject: " + std::string(68, 'a') + "|  " + b20 + "|", "both blanks of a run stay"},
        {"Subject: " + a30 + " " + b30 + "," + c30,
         "Subject: " + a30 + "| " + b30 + "," + c30 + "|",
         "a subject's commas are text, no break after them"},
        {"To: \"" + a30 + " " + b30 + " " + c30 + "\" <x@y.z>",
         "To:| \"" + a30 + " " + b30 + " " + c30 + "\"| <x@y.z>|", "the quoted name stays whole"},
        {"To: x <a@b>, \"y\\\" " + std::string(50, 'b') + "," + std::string(10, 'c') + "\" <x@y.z>",
         "To: x <a@b>,| \"y\\\" " + std::string(50, 'b') + "," + std::string(10, 'c') +
             "\" <x@y.z>|",
         "an escaped quote does not end a quoted name (found by fuzz_header_fold)"},
        {"Subject: Re: " + qword, "Subject: Re:| " + qword + "|",
         "commas and blanks (\"_\") inside an encoded word"},
        {"Subject: "
         "=?ISO-8859-1?Q?=FF=FF=FF=FF=FF=FF=FF=FF=FF=FF@?=\tr\t=?ISO-8859-1?Q?=D5=80=FF@?=",
         "Subject: "
         "=?ISO-8859-1?Q?=FF=FF=FF=FF=FF=FF=FF=FF=FF=FF@?=\tr|\t=?ISO-8859-1?Q?=D5=80=FF@?=|",
         "encoded words with tabs between them (found by fuzz_header_fold)"},
        {"Subject: =?a?Q?one?=\r\n\t=?a?Q?two?=", "Subject: =?a?Q?one?=|\t=?a?Q?two?=|",
         "an existing fold stays"},
        {"Content-Type: text/plain;\r\n\tcharset=\"a\";\r\n\tcharset=\"b\"",
         "Content-Type: text/plain;|\tcharset=\"a\";|\tcharset=\"b\"|", "two existing folds"},
        {"X-Test: a\r\n\t\r\n\tb\r\n \r\n c", "X-Test: a|\tb| c|",
         "folds in a row make no blank line"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Join(FoldHeaderLine(c.Line)), c.Folded) << c.Why;
}

// Quotes hold no break point, unless the line would pass 998 octets
// otherwise; in a subject a backslash does not escape the quote after it.
// Each line is folded within the limit and unfolds to the text again (the
// encoder's own folds included).
TEST(Folding, LinesLongerThanTheLimitBreakAtABlankInsideQuotes) {
    std::string words;
    for (int i = 0; i < 250; ++i)
        words += "c\\\" ab ";
    std::string blanks;
    for (int i = 0; i < 330; ++i)
        blanks += "ab ";
    // The seed with which fuzz_header_fold found a 1000-octet line: a subject
    // whose quotes are open, then closed, then open again where the limit falls.
    std::ifstream in(QUILLET_TEST_SOURCE_DIR
                     "/tests/mail/message/fuzz_header_fold.seeds/quotes-end-near-the-limit",
                     std::ios::binary);
    const std::string seed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(seed.size(), 2u);
    const std::string text = seed.substr(2);
    const std::string subject =
        text.substr(0, text.size() * static_cast<unsigned char>(seed[1]) / 255);
    for (const std::string& line :
         {"Subject: \"" + words + "\"", // found by fuzz_header_fold
          "To: \"" + words + "\" <x@y.z>", "Subject: \"" + blanks + "\"",
          // the limit passed just after the quotes closed (found by fuzz_header_fold)
          "Subject: \"" + blanks + "\"" + std::string(30, 'y') + " z",
          "Subject: " + EncodeHeaderText(subject, "", 'Q', TTransfer::bit8, "ISO-8859-1")}) {
        const std::vector<std::string> lines = FoldHeaderLine(line);
        EXPECT_GE(lines.size(), 2u);
        std::string unfolded;
        for (const std::string& l : lines) {
            EXPECT_LE(l.size(), 998u);
            unfolded += l;
        }
        std::string expected = line;
        std::erase_if(expected, [](char c) { return c == '\r' || c == '\n'; });
        EXPECT_EQ(unfolded, expected) << line.substr(0, 40);
    }
}

} // namespace
