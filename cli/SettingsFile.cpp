// The settings checks of quillet-send; see SettingsFile.h.
#include "cli/SettingsFile.h"

#include "base/Translate.h"

#include <cerrno>
#include <cstdio>

namespace {

void CheckReadable(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    int err = f ? 0 : errno;
    if (f) {
        std::fgetc(f);
        if (std::ferror(f))
            err = errno;
        std::fclose(f);
    }
    if (err != 0)
        throw ESettingsError(Tr("quillet-send", "Cannot read the settings file %1: %2")
                                 .Arg(path, SystemErrorText(err)));
}

} // namespace

TSettings ReadCheckedSettings(const std::string& path, bool recording, bool compressing,
                              bool sending) {
    CheckReadable(path);
    TSettings settings = ReadSettings(path);
    for (const TSettingsProblem& problem : settings.Problems) {
        if (!recording && problem.Key == "SampleRate")
            continue;
        // What is done to the voice matters only to a take being compressed.
        if (!compressing && (problem.Key == "Level" || problem.Key == "Denoise"))
            continue;
        throw ESettingsError(problem.Reason + " (" + problem.Where + ")");
    }
    if (sending && settings.Send.SendType == TSendType::None)
        throw ESettingsError(
            Tr("quillet-send",
               "'%1' is not a way of sending; SendType must be SMTP, Direct or MAPI")
                .Arg(settings.Send.SendTypeValue));
    return settings;
}
