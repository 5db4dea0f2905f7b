// Shell-like word splitting; see ShellWords.h.
#include "platform/ShellWords.h"

#include "base/Translate.h"

bool SplitShellWords(const std::string& line, std::vector<std::string>& words, std::string* error) {
    std::vector<std::string> out;
    std::string word;
    bool inWord = false;
    auto fail = [error](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                out.push_back(word);
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\\') {
            if (++i == line.size())
                return fail(Tr("ShellWords", "it ends in a lone backslash"));
            word += line[i];
        } else if (c == '\'') {
            const size_t end = line.find('\'', i + 1);
            if (end == std::string::npos)
                return fail(Tr("ShellWords", "a single quote is not closed"));
            word.append(line, i + 1, end - i - 1);
            i = end;
        } else if (c == '"') {
            for (++i;; ++i) {
                if (i == line.size())
                    return fail(Tr("ShellWords", "a double quote is not closed"));
                if (line[i] == '"')
                    break;
                // Inside double quotes a backslash only escapes what the
                // shell would otherwise treat specially.
                if (line[i] == '\\' && i + 1 < line.size() &&
                    std::string("\"\\$`").find(line[i + 1]) != std::string::npos)
                    ++i;
                word += line[i];
            }
        } else {
            word += c;
        }
    }
    if (inWord)
        out.push_back(word);
    words = std::move(out);
    return true;
}
