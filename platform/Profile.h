// Profile (INI) file access with the usual rules: section and key names
// matched without regard to letter case, the value is the text after the
// first "=" (blanks around it dropped), values read up to 2047 characters,
// writes replace a value in place and create the file and section on
// demand. Every write replaces the whole file atomically (temporary file in
// the same directory, then rename) with mode 0600, as it holds a password.
// A value with blanks at either end is stored in double quotes; one pair of
// surrounding quotes is removed on reading. The file is opened afresh for
// each call and never held open.
#pragma once

#include "base/Exception.h"

#include <string>

// A value the file cannot hold (a line break would start new lines).
class EProfileValueError : public Exception {
public:
    using Exception::Exception;
};

constexpr size_t ProfileValueLimit = 2047;

// The value of key in section, or def when the file, section or key is missing.
std::string ReadProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& def);

// Writes key=value into section; false (errno set) when the system refuses.
// Raises EProfileValueError "The setting <key> in section <section> cannot
// hold a line break." for a value with CR or LF; nothing is written.
bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value);
