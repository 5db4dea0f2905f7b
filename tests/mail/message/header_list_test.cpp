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

TEST(HeaderList, SetHeaderReplacesInPlaceAppendsAndRemoves) {
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
}

// Checks the folding invariants: lines within width when a break was
// possible, continuations start with exactly one blank, no empty line.
void ExpectWellFolded(const std::vector<std::string>& lines, const char* why) {
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 78u) << why << ": line " << i << " " << lines[i];
        EXPECT_FALSE(lines[i].empty()) << why << ": empty line " << i;
        if (i > 0) {
            EXPECT_TRUE(lines[i][0] == ' ' || lines[i][0] == '\t') << why << ": " << lines[i];
        }
    }
}

TEST(Folding, ShortLinesStayAndLongOnesBreakAtBlanksOrCommas) {
    std::string line77 = "Subject: ";
    while (line77.size() < 77)
        line77 += line77.size() % 10 == 0 ? ' ' : 'x';
    ASSERT_EQ(line77.size(), 77u);
    EXPECT_EQ(FoldHeaderLine(line77), std::vector<std::string>{line77}) << "77 columns stay";

    std::string to = "To: ";
    for (int i = 0; to.size() < 100; ++i)
        to += "user" + std::to_string(i) + "@example.com, ";
    to.resize(to.size() - 2);
    std::vector<std::string> lines = FoldHeaderLine(to);
    ASSERT_GE(lines.size(), 2u);
    ExpectWellFolded(lines, "To line");
    EXPECT_EQ(lines[0].back(), ',') << "cut after the comma, the blank trimmed";
    EXPECT_EQ(lines[1][0], ' ');
    EXPECT_NE(lines[1][1], ' ') << "exactly one blank starts the continuation";
    std::string rejoined = lines[0];
    for (size_t i = 1; i < lines.size(); ++i)
        rejoined += lines[i];
    EXPECT_EQ(rejoined, to) << "nothing lost or added apart from the fold";

    std::string commas = "To: ";
    for (int i = 0; i < 12; ++i)
        commas += "abcdefgh,";
    lines = FoldHeaderLine(commas);
    ExpectWellFolded(lines, "commas only");
    EXPECT_EQ(lines[0].back(), ',');

    const std::string unbreakable = "X-Long:" + std::string(120, 'a');
    EXPECT_EQ(FoldHeaderLine(unbreakable).size(), 1u) << "no break character: one line";
}

// Folding only inserts CR LF before a blank: joined again, the lines give
// the text back. Each case once lost or changed a character.
TEST(Folding, UnfoldingGivesTheTextBack) {
    const struct {
        const char* why;
        std::string line;
        size_t lines;
    } cases[] = {
        {"a tab where the line breaks stays a tab",
         "Subject: " + std::string(70, 'a') + "\t" + std::string(20, 'b'), 3},
        {"both blanks of a run stay",
         "Subject: " + std::string(68, 'a') + "  " + std::string(20, 'b'), 2},
        {"a subject's commas are text, no break after them",
         "Subject: " + std::string(30, 'a') + " " + std::string(30, 'b') + "," +
             std::string(30, 'c'),
         2},
        {"a comma at the width and the blank after it: one blank",
         "To: " + std::string(73, 'a') + ", bbbbb", 2},
        {"an escaped quote does not end a quoted name (found by fuzz_header_fold)",
         "To: x <a@b>, \"y\\\" " + std::string(50, 'b') + "," + std::string(10, 'c') + "\" <x@y.z>",
         2},
        {"encoded words with tabs between them (found by fuzz_header_fold)",
         "Subject: =?ISO-8859-1?Q?=FF=FF=FF=FF=FF=FF=FF=FF=FF=FF@?=\tr\t"
         "=?ISO-8859-1?Q?=D5=80=FF@?=",
         2},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> lines = FoldHeaderLine(c.line);
        ExpectWellFolded(lines, c.why);
        EXPECT_EQ(lines.size(), c.lines) << c.why << ": " << Join(lines);
        std::string rejoined;
        for (const std::string& l : lines)
            rejoined += l;
        EXPECT_EQ(rejoined, c.line) << c.why;
    }
}

// Quotes hold no break point, unless the line would pass 998 octets
// otherwise; in a subject a backslash does not escape the quote after it.
TEST(Folding, QuotesLongerThanALineBreakAtABlankInside) {
    std::string words;
    for (int i = 0; i < 250; ++i)
        words += "c\\\" ab ";
    std::string blanks;
    for (int i = 0; i < 330; ++i)
        blanks += "ab ";
    for (const std::string& line :
         {"Subject: \"" + words + "\"", // found by fuzz_header_fold
          "To: \"" + words + "\" <x@y.z>", "Subject: \"" + blanks + "\"",
          // the limit passed just after the quotes closed (found by fuzz_header_fold)
          "Subject: \"" + blanks + "\"" + std::string(30, 'y') + " z"}) {
        const std::vector<std::string> lines = FoldHeaderLine(line);
        EXPECT_GE(lines.size(), 2u);
        std::string rejoined;
        for (const std::string& l : lines) {
            EXPECT_LE(l.size(), 998u);
            rejoined += l;
        }
        EXPECT_EQ(rejoined, line);
    }
}

// The input fuzz_header_fold found a 1000-octet line with: a subject whose
// quotes are open, then closed, then open again where the limit falls.
TEST(Folding, FuzzFoundSubjectKeepsWithinTheLineLimit) {
    std::ifstream in(QUILLET_TEST_SOURCE_DIR
                     "/tests/mail/message/fuzz_header_fold.seeds/quotes-end-near-the-limit",
                     std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(data.size(), 2u);
    const std::string text = data.substr(2);
    const std::string subject =
        text.substr(0, text.size() * static_cast<unsigned char>(data[1]) / 255);
    const std::string line =
        "Subject: " + EncodeHeaderText(subject, "", 'Q', TTransfer::bit8, "ISO-8859-1");
    std::string rejoined;
    for (const std::string& l : FoldHeaderLine(line)) {
        EXPECT_LE(l.size(), 998u);
        rejoined += l + "\r\n";
    }
    rejoined.resize(rejoined.size() - 2);
    // The encoder's own folds (CR LF TAB) stay; any other fold only adds CR LF.
    std::string unfolded, expected;
    for (char c : rejoined)
        if (c != '\r' && c != '\n')
            unfolded += c;
    for (char c : line)
        if (c != '\r' && c != '\n')
            expected += c;
    EXPECT_EQ(unfolded, expected);
}

TEST(Folding, NeverBreaksInsideQuotesOrEncodedWords) {
    const std::string quoted = "To: \"" + std::string(30, 'a') + " " + std::string(30, 'b') + " " +
                               std::string(30, 'c') + "\" <x@y.z>";
    std::vector<std::string> lines = FoldHeaderLine(quoted);
    ASSERT_EQ(lines.size(), 3u) << Join(lines);
    EXPECT_EQ(lines[0], "To:");
    EXPECT_EQ(lines[1], " " + quoted.substr(4, 94)) << "the quoted name stays whole";
    EXPECT_EQ(lines[2], " <x@y.z>");

    // Commas and blanks ("_" is a blank after decoding) inside a Q word.
    const std::string word =
        "=?UTF-8?Q?" + std::string(20, 'a') + ",b,c,d,e=C3=BC" + std::string(30, 'f') + "?=";
    const std::string subject = "Subject: Re: " + word;
    lines = FoldHeaderLine(subject);
    ASSERT_EQ(lines.size(), 2u) << Join(lines) << "\n" << subject;
    EXPECT_EQ(lines[0], "Subject: Re:");
    EXPECT_EQ(lines[1], " " + word);
}

TEST(Folding, ExistingBreaksStayAndNeverMakeEmptyLines) {
    const std::string encoded = "Subject: =?a?Q?one?=\r\n\t=?a?Q?two?=";
    EXPECT_EQ(Join(FoldHeaderLine(encoded)), "Subject: =?a?Q?one?=|\t=?a?Q?two?=|");

    const std::string twice = "Content-Type: text/plain;\r\n\tcharset=\"a\";\r\n\tcharset=\"b\"";
    EXPECT_EQ(Join(FoldHeaderLine(twice)),
              "Content-Type: text/plain;|\tcharset=\"a\";|\tcharset=\"b\"|");

    const std::string doubled = "X-Test: a\r\n\t\r\n\tb\r\n \r\n c";
    std::vector<std::string> lines = FoldHeaderLine(doubled);
    ExpectWellFolded(lines, "breaks in a row");
    EXPECT_EQ(Join(lines), "X-Test: a|\tb| c|");
}

TEST(Folding, SetHeaderFoldsLongValues) {
    TNetHeaderList h;
    h.Add("X-Unsent: 1");
    h.SetHeader("To", "aaaaaaaaaaaaaaaaaaaa@example.com, bbbbbbbbbbbbbbbbbbbb@example.com, "
                      "cccccccccccccccccccc@example.com");
    EXPECT_EQ(Join(h.Lines),
              "X-Unsent: 1|To: aaaaaaaaaaaaaaaaaaaa@example.com, "
              "bbbbbbbbbbbbbbbbbbbb@example.com,| cccccccccccccccccccc@example.com|");
    EXPECT_EQ(h.GetHeader("To"), "aaaaaaaaaaaaaaaaaaaa@example.com, "
                                 "bbbbbbbbbbbbbbbbbbbb@example.com, "
                                 "cccccccccccccccccccc@example.com");
}

} // namespace
