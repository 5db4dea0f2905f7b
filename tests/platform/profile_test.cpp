// Profile-file rules: defaults, letter case, value limits, in-place
// replacement, atomic writes with mode 0600, refused writes.
#include "platform/Profile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

unsigned ModeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

TEST(Profile, ReadingRules) {
    TTempDir dir;
    dir.Write("q.ini", "[audio]\r\nSAMPLERATE = 44100 \r\n[User]\nName=a=b=c\nEmail=\n"
                       "[SMTP]\nServer=first\nServer=second\nPassword=" +
                           std::string(3000, 'x') + "\n");
    const struct {
        const char *File, *Section, *Key;
        std::string Expected;
        const char* Why;
    } cases[] = {
        {"none.ini", "Audio", "SampleRate", "dflt", "a missing file gives the default"},
        {"q.ini", "Nothing", "Name", "dflt", "so does a missing section"},
        {"q.ini", "Audio", "Bits", "dflt", "and a missing key"},
        {"q.ini", "Audio", "SampleRate", "44100",
         "names match without regard to case; blanks trimmed"},
        {"q.ini", "USER", "name", "a=b=c", "the value is everything after the first ="},
        {"q.ini", "User", "Email", "", "an empty stored value is not the default"},
        {"q.ini", "SMTP", "Server", "first", "the first of duplicate keys wins"},
        {"q.ini", "SMTP", "Password", std::string(2047, 'x'), "values are cut at 2047"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadProfileString(dir.File(c.File), c.Section, c.Key, "dflt"), c.Expected)
            << c.Why;
}

TEST(Profile, WritesCreateOrReplaceInPlaceAndLeaveMode0600) {
    TTempDir dir;
    const std::string path = dir.File("q.ini");
    ASSERT_TRUE(WriteProfileString(path, "SMTP", "Password", "secret"));
    EXPECT_EQ(ModeOf(path), 0600u);
    ASSERT_TRUE(WriteProfileString(path, "Audio", "SampleRate", "8000"));
    EXPECT_EQ(dir.Read("q.ini"), "[SMTP]\nPassword=secret\n\n[Audio]\nSampleRate=8000\n")
        << "file and sections created on demand";

    dir.Write(
        "q.ini",
        "; note\r\n[Audio]\r\nSampleRate=11025\r\nBitPerSample=8\r\n\r\n[User]\r\nName=Ann\r\n");
    ASSERT_TRUE(WriteProfileString(path, "audio", "samplerate", "44100"));
    ASSERT_TRUE(WriteProfileString(path, "Audio", "Channels", "1"));
    EXPECT_EQ(dir.Read("q.ini"),
              "; note\r\n[Audio]\r\nsamplerate=44100\r\nBitPerSample=8\r\nChannels=1\r\n"
              "\r\n[User]\r\nName=Ann\r\n")
        << "every other line kept in place";
    EXPECT_EQ(ModeOf(path), 0600u) << "an existing 0644 file kept its mode";
}

TEST(Profile, RefusedWriteLeavesTheOldFileIntact) {
    for (bool readOnlyFolder : {true, false}) {
        TTempDir dir;
        dir.Write("q.ini", "[User]\nName=Ann\n", readOnlyFolder ? 0644 : 0444);
        ASSERT_EQ(chmod(dir.Path().c_str(), readOnlyFolder ? 0500 : 0700), 0);
        EXPECT_FALSE(WriteProfileString(dir.File("q.ini"), "User", "Name", "Bob"))
            << (readOnlyFolder ? "read-only folder" : "read-only file, refused even for root");
        chmod(dir.Path().c_str(), 0700);
        EXPECT_EQ(dir.Read("q.ini"), "[User]\nName=Ann\n");
    }
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

} // namespace
