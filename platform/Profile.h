// Profile (INI) file access with the usual rules: section and key names
// matched without regard to letter case, the value is the text after the
// first "=" (blanks around it dropped), values read up to 2047 characters,
// writes replace a value in place and create the file and section on
// demand. Every write replaces the whole file atomically (temporary file in
// the same directory, then rename); a new file gets mode 0600. The file is
// opened afresh for each call and never held open.
#pragma once

#include <string>

constexpr size_t ProfileValueLimit = 2047;

// The value of key in section, or def when the file, section or key is missing.
std::string ReadProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& def);

// Writes key=value into section; false (errno set) when the system refuses.
bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value);
