// Profile-file rules: defaults, letter case, value limits, in-place
// replacement, atomic writes with mode 0600, refused writes.
#include "platform/Profile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(Profile, MissingFileSectionOrKeyGivesTheDefault) {
    TTempDir dir;
    EXPECT_EQ(ReadProfileString(dir.File("none.ini"), "Audio", "SampleRate", "11025"), "11025");
    dir.Write("q.ini", "[Audio]\nSampleRate=22050\n");
    EXPECT_EQ(ReadProfileString(dir.File("q.ini"), "User", "Name", "dflt"), "dflt");
    EXPECT_EQ(ReadProfileString(dir.File("q.ini"), "Audio", "Bits", "8"), "8");
}

TEST(Profile, ReadingRules) {
    TTempDir dir;
    std::string longValue(3000, 'x');
    dir.Write("q.ini", "[audio]\r\nSAMPLERATE = 44100 \r\n[User]\nName=a=b=c\nEmail=\n"
                       "[SMTP]\nServer=first\nServer=second\nPassword=" +
                           longValue + "\n");
    struct Case {
        const char *section, *key, *expected, *why;
    } cases[] = {
        {"Audio", "SampleRate", "44100", "names match without regard to case; blanks trimmed"},
        {"USER", "name", "a=b=c", "the value is everything after the first ="},
        {"User", "Email", "", "an empty stored value is not the default"},
        {"SMTP", "Server", "first", "the first of duplicate keys wins"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadProfileString(dir.File("q.ini"), c.section, c.key, "dflt"), c.expected)
            << c.why;
    EXPECT_EQ(ReadProfileString(dir.File("q.ini"), "SMTP", "Password", ""), std::string(2047, 'x'));
}

TEST(Profile, FirstWriteCreatesFileAndSectionWithMode0600) {
    TTempDir dir;
    std::string path = dir.File("q.ini");
    ASSERT_TRUE(WriteProfileString(path, "SMTP", "Password", "secret"));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadProfileString(path, "smtp", "password", ""), "secret");
    ASSERT_TRUE(WriteProfileString(path, "Audio", "SampleRate", "8000"));
    EXPECT_EQ(dir.Read("q.ini"), "[SMTP]\nPassword=secret\n\n[Audio]\nSampleRate=8000\n");
}

TEST(Profile, ReplacingAValueKeepsEveryOtherLineInPlace) {
    TTempDir dir;
    dir.Write(
        "q.ini",
        "; note\r\n[Audio]\r\nSampleRate=11025\r\nBitPerSample=8\r\n\r\n[User]\r\nName=Ann\r\n");
    std::string path = dir.File("q.ini");
    ASSERT_TRUE(WriteProfileString(path, "audio", "samplerate", "44100"));
    ASSERT_TRUE(WriteProfileString(path, "Audio", "Channels", "1"));
    EXPECT_EQ(dir.Read("q.ini"),
              "; note\r\n[Audio]\r\nsamplerate=44100\r\nBitPerSample=8\r\nChannels=1\r\n"
              "\r\n[User]\r\nName=Ann\r\n");
}

TEST(Profile, RefusedWriteLeavesTheOldFileIntact) {
    TTempDir dir;
    dir.Write("q.ini", "[User]\nName=Ann\n");
    ASSERT_EQ(chmod(dir.Path().c_str(), 0500), 0);
    EXPECT_FALSE(WriteProfileString(dir.File("q.ini"), "User", "Name", "Bob"));
    chmod(dir.Path().c_str(), 0700);
    EXPECT_EQ(dir.Read("q.ini"), "[User]\nName=Ann\n");
}

TEST(Profile, ReadOnlyFileIsRefusedEvenForRoot) {
    TTempDir dir;
    dir.Write("q.ini", "[User]\nName=Ann\n", 0444);
    EXPECT_FALSE(WriteProfileString(dir.File("q.ini"), "User", "Name", "Bob"));
    EXPECT_EQ(dir.Read("q.ini"), "[User]\nName=Ann\n");
}

TEST(Profile, EveryWriteLeavesMode0600) {
    TTempDir dir;
    dir.Write("q.ini", "[User]\nName=Ann\n", 0644);
    ASSERT_TRUE(WriteProfileString(dir.File("q.ini"), "SMTP", "Password", "secret"));
    struct stat st;
    ASSERT_EQ(stat(dir.File("q.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "an existing 0644 file kept its mode";
}

TEST(Profile, ValuesComeBackExactly) {
    TTempDir dir;
    const std::string path = dir.File("q.ini");
    const struct {
        std::string Value, Stored, Why;
    } cases[] = {
        {"  pass phrase  ", "\"  pass phrase  \"", "came back as \"pass phrase\""},
        {"\tx", "\"\tx\"", "a tab at the start"},
        {"\"quoted\"", "\"\"quoted\"\"", "surrounding quotes of its own"},
        {"a \"b\" c", "a \"b\" c", "inner quotes stay as they are"},
        {"", "", "empty"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteProfileString(path, "SMTP", "Password", c.Value));
        EXPECT_EQ(dir.Read("q.ini"), "[SMTP]\nPassword=" + c.Stored + "\n") << c.Why;
        EXPECT_EQ(ReadProfileString(path, "SMTP", "Password", "dflt"), c.Value) << c.Why;
    }
}

TEST(Profile, LineBreakInAValueIsRefused) {
    TTempDir dir;
    dir.Write("q.ini", "[User]\nName=Ann\n");
    for (const char* value : {"a\nb", "a\r\n[SMTP]\r\nServer=evil", "a\r"}) {
        try {
            WriteProfileString(dir.File("q.ini"), "User", "Name", value);
            ADD_FAILURE() << "written: " << value;
        } catch (const EProfileValueError& e) {
            EXPECT_EQ(e.Message, "The setting Name in section User cannot hold a line break.");
        }
        EXPECT_EQ(dir.Read("q.ini"), "[User]\nName=Ann\n");
    }
}
