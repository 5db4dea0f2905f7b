// The player's spool file "PLAY.TMP": created only in a directory private to
// the user ($XDG_RUNTIME_DIR, else a 0700 directory of the user's own under
// $TMPDIR or /tmp), never through a planted symlink or into a file someone
// else made, readable by the user alone, and removed when it is released.
#pragma once

#include "base/Stream.h"

#include <string>

class TSpoolFile : public TStream {
public:
    // Creates SpoolDirectory() + "/PLAY.TMP" with mode 0600 (O_EXCL |
    // O_NOFOLLOW). An entry of that name is removed first: the directory is
    // the user's alone, so only an earlier run can have left it. Raises
    // EFCreateError.
    TSpoolFile();
    // Closes and removes the file.
    ~TSpoolFile() override;
    TSpoolFile(const TSpoolFile&) = delete;
    TSpoolFile& operator=(const TSpoolFile&) = delete;

    size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    const std::string& FileName() const { return Path; }

    // $XDG_RUNTIME_DIR when it is a directory of the user's own that nobody
    // else may write into; otherwise "<$TMPDIR or /tmp>/quillet-<uid>",
    // created with mode 0700 when missing. Raises EFCreateError when that
    // directory is not the user's private one (a symlink, someone else's,
    // or open to others).
    static std::string SpoolDirectory();

private:
    std::string Path;
    int Fd = -1;
};
