// Settings file over the platform's profile-file access.
#include "app/Settings.h"

#include "platform/Profile.h"
#include "platform/Program.h"

#include <cstdlib>

std::string SettingsFileName() {
    // Tests run the program's code from their own binaries; let them aim it elsewhere.
    if (const char* alt = std::getenv("QUILLET_SETTINGS_FILE"); alt && *alt)
        return alt;
    return UserConfigDir() + ExtractFileName(ChangeFileExt(ProgramFile(), ".ini"));
}

TSettingsFile::TSettingsFile() : Path(SettingsFileName()) {}
TSettingsFile::TSettingsFile(std::string path) : Path(std::move(path)) {}

std::string TSettingsFile::ReadString(const std::string& section, const std::string& key,
                                      const std::string& def) const {
    return ReadProfileString(Path, section, key, def);
}

void TSettingsFile::WriteString(const std::string& section, const std::string& key,
                                const std::string& value) {
    if (!WriteProfileString(Path, section, key, value))
        throw ESettingsWriteError("Unable to write to " + Path);
}
