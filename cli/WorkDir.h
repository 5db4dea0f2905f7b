// The private working directory of one quillet-send run: made with mode
// 0700 under $TMPDIR (or /tmp), holding Quillet.wav and Quillet.mp3 so the
// encoder's relative names resolve there. Removed with its content when
// the object goes (the mail client gets its copy in a hand-over folder).
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

private:
    std::string Dir;
};
