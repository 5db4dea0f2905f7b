// The private working directory of one quillet-send run: made with mode
// 0700 under $TMPDIR (or /tmp), holding Quillet.wav and Quillet.mp3 so the
// encoder's relative names resolve there. Removed with its content when
// the object goes, unless Keep() was called.
#pragma once

#include "base/Exception.h"

#include <string>

class TWorkDir {
public:
    // Raises EFCreateError when the directory cannot be made.
    TWorkDir();
    ~TWorkDir();
    TWorkDir(const TWorkDir&) = delete;
    TWorkDir& operator=(const TWorkDir&) = delete;

    // The directory with a trailing "/".
    const std::string& Path() const { return Dir; }
    std::string File(const std::string& name) const { return Dir + name; }
    // Leaves file name behind at the end (everything else is still removed).
    void Keep(const std::string& name) { Kept = name; }

private:
    std::string Dir;
    std::string Kept;
};
