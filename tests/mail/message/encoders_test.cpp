// Base64 block and line encoders, quoted-printable, encoded header words,
// the header charset choice and the ISO-2022-JP conversion. The UU line
// encoder is pinned by the message writer's UU message. Encoded text is
// read back by the fuzz targets' decoders, which share no code with it.
#include "base/NetException.h"
#include "mail/message/NetEncoders.h"
#include "mail/message/NetHeaderCoder.h"
#include "mail/message/NetMessage.h"
#include "tests/mail/message/FuzzDecoders.h"

#include <gtest/gtest.h>

#include <set>

namespace {

std::string Bytes(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += static_cast<char>((i * 37 + 11) & 255);
    return s;
}

TMemoryStream StreamOf(const std::string& s) {
    TMemoryStream m;
    m.Write(s.data(), s.size());
    m.SetPosition(0);
    return m;
}

std::string LinesOf(const std::string& source) {
    TMemoryStream in = StreamOf(source);
    in.SetPosition(5); // the encoder rewinds
    TMemoryStream out;
    TNetMessageEncoderMIME().Encode(in, out);
    return std::string(out.Data.begin(), out.Data.end());
}

// The alphabet and padding are pinned by the attachment lines below; here
// the count semantics of the stream encoder.
TEST(Base64, BlockEncoderTakesCountBytes) {
    const TNetEncoderMIME coder;
    TMemoryStream s = StreamOf("foobar\xff\xfe");
    EXPECT_EQ(coder.Encode(s, 3), "Zm9v") << "a count takes only that many bytes";
    EXPECT_EQ(coder.Encode(s), "YmFy//4=") << "the rest";
    EXPECT_EQ(coder.Encode(s, 3), "") << "nothing left";
    try {
        coder.Encode(s, 4);
        FAIL();
    } catch (const ENetException& e) {
        EXPECT_STREQ(e.what(), "Uneven size in Encode.");
    }
}

TEST(Base64, AttachmentLines) {
    const std::string full =
        "CzBVep/E6Q4zWH2ix+wRNluApcrvFDleg6jN8hc8YYar0PUaP2SJrtP4HUJnjLHW+yBFao+02f4j\r\n";
    const struct {
        size_t Size;
        std::string Lines;
    } cases[] = {
        {0, ""},    {1, "Cw==\r\n"},         {2, "CzA=\r\n"},
        {57, full}, {58, full + "SA==\r\n"}, {59, full + "SG0=\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LinesOf(Bytes(c.Size)), c.Lines) << c.Size << " bytes";

    // Many lines: groups never straddle the encoder's read blocks, every
    // character of the alphabet is used, and all of it reads back.
    const std::string big = Bytes(57 * 3000 + 10);
    const std::string lines = LinesOf(big);
    std::string decoded;
    for (size_t at = 0; at < lines.size(); at += 78) {
        const size_t end = lines.find("\r\n", at);
        ASSERT_EQ(end, std::min(at + 76, lines.size() - 2)) << at;
        ASSERT_TRUE(fuzzdec::DecodeBase64(std::string_view(lines).substr(at, end - at), decoded));
    }
    EXPECT_EQ(decoded, big);
    EXPECT_EQ(std::set<char>(lines.begin(), lines.end()).size(), 64u + 3) << "and CR, LF, =";
}

TEST(QuotedPrintable, Tokens) {
    const TNetEncoderQuotedPrintable qp;
    const struct {
        std::string In, Out;
        const char* Why;
    } cases[] = {
        {"plain text\r\n", "plain text\r\n", "literal line unchanged"},
        {"a=b\r\n", "a=3Db\r\n", "equals sign"},
        {"end \r\n", "end=20\r\n", "trailing space"},
        {"end\t\r\n", "end=09\r\n", "trailing tab"},
        {"a b\tc\r\n", "a b\tc\r\n", "inner blanks stay"},
        {"Gr\xfc\xdf\x65\r\n", "Gr=FC=DFe\r\n", "8-bit bytes"},
        {std::string("\0\x7f", 2) + "\r\n", "=00=7F\r\n", "NUL and DEL"},
        {"", "\r\n", "empty input"},
        {std::string(100, 'a') + "\r\n",
         std::string(72, 'a') + "=\r\n" + std::string(28, 'a') + "\r\n", "soft break after 72"},
        {std::string(71, 'a') + "\r\n", std::string(71, 'a') + "\r\n", "71: not inside CR LF"},
        {std::string(72, 'a') + "\r\n", std::string(72, 'a') + "=\r\n\r\n",
         "72: the break comes also before the line end"},
        {std::string(70, 'a') + "=\r\n", std::string(70, 'a') + "=3D=\r\n\r\n",
         "a token that passes 71 before the line end"},
        {std::string(73, 'a') + "\r\n", std::string(72, 'a') + "=\r\na\r\n", "73"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(qp.Encode(c.In), c.Out) << c.Why;
}

TEST(QuotedPrintable, EveryLengthDecodesBackWithinLimits) {
    const TNetEncoderQuotedPrintable qp;
    for (size_t len = 0; len < 200; ++len) {
        for (int variant = 0; variant < 3; ++variant) {
            std::string line;
            for (size_t i = 0; i < len; ++i)
                line += variant == 0   ? 'x'
                        : variant == 1 ? static_cast<char>(0xE0 + i % 16)
                                       : " =a\xff"[i % 4];
            const std::string encoded = qp.Encode(line + "\r\n");
            std::string decoded;
            EXPECT_TRUE(fuzzdec::DecodeQuotedPrintable(encoded, decoded)) << len << "/" << variant;
            EXPECT_EQ(decoded, line + "\r\n") << len << "/" << variant;
            EXPECT_EQ(("\n" + encoded).find("\n=\r\n"), std::string::npos)
                << "a line of only \"=\"";
        }
    }
}

// Encoded words of 67 "a" each (the most a "=?X?Q?" word holds), the
// last with the rest, as a run of count "a" is written.
std::string QRunOfA(size_t count) {
    std::string out;
    for (size_t done = 0; done < count; done += 67)
        out += (done ? "\r\n\t" : "") + std::string("=?X?Q?") +
               std::string(std::min<size_t>(67, count - done), 'a') + "?=";
    return out;
}

TEST(HeaderText, EncodedWords) {
    const struct {
        std::string In;
        const char* Specials;
        char Letter;
        const char* CharSet;
        std::string Out;
        const char* Why;
    } cases[] = {
        {"Hello, World = ok?", "", 'Q', "ISO-8859-1", "Hello, World = ok?", "ASCII unchanged (Q)"},
        {"Hello, World", "", 'B', "UTF-8", "Hello, World", "ASCII unchanged (B)"},
        {"M\xfcller and", "", 'Q', "ISO-8859-1", "=?ISO-8859-1?Q?M=FCller?= and",
         "plain word after the run stays"},
        {"Gr\xfc\xdf\x65 K\xf6ln", "", 'Q', "ISO-8859-1",
         "=?ISO-8859-1?Q?Gr=FC=DFe_K=F6ln?=", "adjacent words share a run"},
        {"\xe9t\xe9 au caf\xe9", "", 'Q', "ISO-8859-1",
         "=?ISO-8859-1?Q?=E9t=E9?= au =?ISO-8859-1?Q?caf=E9?=", "plain words between runs kept"},
        {"a_b=c?d \xe9", "", 'Q', "X", "a_b=c?d =?X?Q?=E9?=", "specials only matter in a run"},
        {"\xe9_=?", "", 'Q', "X", "=?X?Q?=E9=5F=3D=3F?=", "must-quote bytes inside a run"},
        {"Smith, J\xfc", "()[]<>:;.,@\\\"", 'Q', "ISO-8859-1",
         "=?ISO-8859-1?Q?Smith=2C_J=FC?=", "address specials"},
        {"Smith, John", "()[]<>:;.,@\\\"", 'Q', "ISO-8859-1", "=?ISO-8859-1?Q?Smith=2C?= John",
         "a special alone forces encoding"},
        {"\xe4\xb8\xad\xe6\x96\x87", "", 'B', "UTF-8", "=?UTF-8?B?5Lit5paH?=", "B"},
        {"x \xe9", "", '8', "X", "x \xe9", "letter 8 leaves it"},
        {"  \xe9  ", "", 'Q', "X", "  =?X?Q?=E9__?=", "trailing blanks join the open run"},
        {"Say =?a?Q?b?= now", "", 'Q', "X", "Say =?X?Q?=3D=3Fa=3FQ=3Fb=3F=3D?= now",
         "a word in the form of an encoded word is encoded (found by fuzz_header_qp)"},
        {"a=?b =?c?= =?d", "", 'Q', "X", "a=?b =?c?= =?d", "other words with =? stay plain"},
        {std::string(997, 'a'), "", 'Q', "X", std::string(997, 'a'),
         "a word that fits a line of its own stays plain"},
        {"Re: " + std::string(998, 'a'), "", 'Q', "X", "Re: " + QRunOfA(998),
         "a longer one is encoded, as folding cannot break it (found by fuzz_header_fold)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EncodeHeaderText(c.In, c.Specials, c.Letter, TTransfer::bit8, c.CharSet), c.Out)
            << c.Why;
}

TEST(HeaderText, NameTooLongToQuoteGoesAsWords) {
    TNetHeaderCoding coding;
    coding.Letter = 'Q';
    coding.CharSet = "X";
    TNetEMailAddressItem item;
    item.Address = "a@b.test";
    item.Name = std::string(995, 'a');
    EXPECT_EQ(EncodeAddressItem(item, coding), "\"" + item.Name + "\" <a@b.test>")
        << "a quoted string of 997 characters fits a line";
    item.Name = std::string(996, 'a');
    EXPECT_EQ(EncodeAddressItem(item, coding), item.Name + " <a@b.test>")
        << "one more: plain words (found by fuzz_header_fold)";
    item.Name = std::string(998, 'a');
    EXPECT_EQ(EncodeAddressItem(item, coding), QRunOfA(998) + " <a@b.test>");
}

// Every run reads back, in words of at most 75 characters; a UTF-8 word
// holds whole characters only.
TEST(HeaderText, LongRunsSplitIntoWordsOfAtMost75Characters) {
    std::string utf8;
    for (int i = 0; i < 12; ++i)
        utf8 += "\xc3\xbc\xe2\x82\xac\xf0\x9f\x8e\xa4" + std::string(i % 4 == 3 ? " " : "");
    std::vector<std::pair<std::string, const char*>> texts = {{utf8, "UTF-8"}};
    for (size_t n : {1, 2, 3, 19, 20, 58, 119})
        texts.push_back({std::string(n, '\xe9'), "ISO-8859-1"});
    for (const auto& [text, charset] : texts)
        for (char letter : {'Q', 'B'}) {
            const std::string why =
                std::string(charset) + " " + letter + " " + std::to_string(text.size());
            const std::string out = EncodeHeaderText(text, "", letter, TTransfer::bit8, charset);
            EXPECT_EQ(fuzzdec::DecodeHeaderText(out), text) << why;
            for (const fuzzdec::TEncodedWord& w : fuzzdec::EncodedWords(out)) {
                EXPECT_LE(w.Word.size(), 75u) << why;
                EXPECT_NE(static_cast<unsigned char>(w.Decoded[0]) & 0xC0, 0x80u)
                    << why << ": a word starts inside a character";
            }
        }
    // Exactly at the limit: "=?UTF-8?Q?" + 21 * 3 + "?=" is 75 characters.
    const std::string at75 =
        EncodeHeaderText(std::string(21, '\xe9'), "", 'Q', TTransfer::bit8, "UTF-8");
    EXPECT_EQ(at75.size(), 75u);
    EXPECT_EQ(at75.find("\r\n"), std::string::npos);
    const std::string at78 =
        EncodeHeaderText(std::string(22, '\xe9'), "", 'Q', TTransfer::bit8, "UTF-8");
    EXPECT_EQ(at78, at75.substr(0, 73) + "?=\r\n\t=?UTF-8?Q?=E9?=");
}

TEST(HeaderCharset, ByLanguageAndCodeset) {
    const struct {
        const char* Locale;
        const char* CharSet;
        char Letter;
        TTransfer Transfer;
    } cases[] = {
        {"en_US.UTF-8", "UTF-8", 'Q', TTransfer::bit8},
        {"de_DE.ISO-8859-1", "ISO-8859-1", 'Q', TTransfer::bit8},
        {"C", "ISO-8859-1", 'Q', TTransfer::bit8},
        {"zh_CN.GB2312", "GB2312", 'B', TTransfer::bit8},
        {"zh_TW.BIG5", "Big5", 'B', TTransfer::bit8},
        {"zh_CN.UTF-8", "UTF-8", 'B', TTransfer::bit8},
        {"ja_JP.SJIS", "ISO-2022-JP", 'B', TTransfer::iso2022jp},
        {"ja_JP.UTF-8", "UTF-8", 'B', TTransfer::bit8},
        {"ko_KR.EUC-KR", "EUC-KR", 'B', TTransfer::bit8},
        {"ko_KR.UTF-8", "UTF-8", 'B', TTransfer::bit8},
    };
    for (const auto& c : cases) {
        const TNetHeaderCoding coding = ChooseHeaderCharset(ParseLocaleName(c.Locale));
        EXPECT_EQ(coding.CharSet, c.CharSet) << c.Locale;
        EXPECT_EQ(coding.Letter, c.Letter) << c.Locale;
        EXPECT_EQ(coding.Transfer, c.Transfer) << c.Locale;
    }
}

TEST(Jis, ShiftJisToIso2022Jp) {
    // "A", two kanji, half-width KA+voiced, HA+semi-voiced, U+voiced, A,
    // the half-width full stop, "B".
    const std::string sjis = "A\x93\xfa\x96{\xb6\xde\xca\xdf\xb3\xde\xb1\xa1"
                             "B";
    EXPECT_EQ(ConvertToJis(sjis), "A\x1b$BF|K\\%,%Q%t%\"!#\x1b(B"
                                  "B");
    EXPECT_EQ(ConvertToJis("\x82\xa0"), "\x1b$B$\"\x1b(B") << "ends in JIS mode";
    EXPECT_EQ(ConvertToJis("\xb1\xde"), "\x1b$B%\"!+\x1b(B") << "no voiced form: mark kept";
    EXPECT_EQ(ConvertToJis("ab\x80\xf0\x40"
                           "c"),
              "abc")
        << "unmapped bytes dropped";
}

} // namespace
