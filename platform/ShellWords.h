// Splitting a command line the way a POSIX shell splits words, without
// what else a shell does: blanks separate words; 'single quotes' keep
// everything as it is; "double quotes" keep blanks, with a backslash
// taking the next " \ $ ` literally; a backslash outside quotes takes the
// next character literally. No variables, globbing, ~ or pipes: the words
// go to the program as typed.
#pragma once

#include <string>
#include <vector>

// The words of commandLine; false (words unset) with why in *error when a
// quote is left open or the line ends in a lone backslash.
bool SplitShellWords(const std::string& commandLine, std::vector<std::string>& words,
                     std::string* error = nullptr);
