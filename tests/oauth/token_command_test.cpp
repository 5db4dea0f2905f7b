// The token command: split like a shell command line but run without one,
// the first line of its output the token, and each way it can fail told
// with what it wrote to its error output.
#include "oauth/OAuthError.h"
#include "oauth/TokenCommand.h"
#include "platform/ShellWords.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TEST(TokenCommand, OutcomesOfTheHelper) {
    TTempDir dir;
    // A helper that prints its arguments one a line, so the split shows.
    dir.Write("args", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done\n", 0755);
    const std::string args = dir.File("args");
    struct TCase {
        const char* Why;
        std::string Command;
        int LimitMs;
        const char* Token; // nullptr: an error
        const char* Error;
    } cases[] = {
        {"the first line is the token", "printf 'tok-123\\nrest\\n'", 5000, "tok-123", ""},
        {"a CR LF line end is no part of it", "printf 'tok-9\\r\\n'", 5000, "tok-9", ""},
        {"quotes group, backslashes escape, nothing expands",
         args + " \"two words\" 'single $HOME' back\\ slash", 5000, "two words", ""},
        {"no shell: a pipe is just a word", args + " '|' cat", 5000, "|", ""},
        {"non-zero exit: its stderr", "sh -c 'echo refresh failed >&2; exit 3'", 5000, nullptr,
         "The token command failed with exit status 3: refresh failed"},
        {"empty first line", "sh -c 'echo; echo not signed in >&2'", 5000, nullptr,
         "The token command printed no token: not signed in"},
        {"no output, no reason", "true", 5000, nullptr,
         "The token command printed no token: it wrote no reason"},
        {"a helper that hangs", "sleep 30", 300, nullptr,
         "The token command gave no token within 0.3 seconds."},
        {"a hanging grandchild is ended too", "sh -c 'sleep 30; echo late'", 300, nullptr,
         "The token command gave no token within 0.3 seconds."},
        {"a program that is not there", "no-such-token-helper --x", 5000, nullptr,
         "The token command 'no-such-token-helper' could not be started."},
        {"an open quote", "helper 'oops", 5000, nullptr,
         "The token command cannot be used: a single quote is not closed."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        std::string token, error;
        try {
            token = RunTokenCommand(c.Command, c.LimitMs, nullptr);
        } catch (const EOAuthError& e) {
            error = e.Message;
        }
        EXPECT_EQ(token, c.Token ? c.Token : "");
        EXPECT_EQ(error, c.Error);
    }
}

TEST(TokenCommand, WordsAsAShellSplitsThem) {
    struct TCase {
        const char* Line;
        std::vector<std::string> Words;
    } cases[] = {
        {"a  b\tc", {"a", "b", "c"}},
        {"'a b'\"c d\"e", {"a bc de"}},
        {"\"say \\\"hi\\\" \\n\"", {"say \"hi\" \\n"}},
        {"''", {""}},
        {"it\\'s", {"it's"}},
    };
    for (const TCase& c : cases) {
        std::vector<std::string> words;
        ASSERT_TRUE(SplitShellWords(c.Line, words)) << c.Line;
        EXPECT_EQ(words, c.Words) << c.Line;
    }
    std::vector<std::string> words;
    std::string why;
    EXPECT_FALSE(SplitShellWords("tail\\", words, &why));
    EXPECT_EQ(why, "it ends in a lone backslash");
}

TEST(TokenCommand, ACancelEndsTheWaitAndTheHelper) {
    int slices = 0;
    try {
        RunTokenCommand("sleep 30", 60000, [&] {
            if (++slices == 3)
                throw std::runtime_error("cancelled");
        });
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "cancelled");
    }
}

} // namespace
