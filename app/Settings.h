// The settings file: an INI file beside the program, named after it with
// ".ini". Reads never fail (defaults); a refused write raises
// ESettingsWriteError "Unable to write to <path>", a value with a line
// break EProfileValueError (platform/Profile.h) before anything is written.
#pragma once

#include "base/Exception.h"

#include <string>

class ESettingsWriteError : public Exception {
public:
    using Exception::Exception;
};

// Full path of the settings file.
std::string SettingsFileName();

class TSettingsFile {
public:
    // Uses SettingsFileName(); tests may pass another path.
    TSettingsFile();
    explicit TSettingsFile(std::string path);

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) const;
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    const std::string& FileName() const { return Path; }

private:
    std::string Path;
};
