// The private spool file of the player; see SpoolFile.h.
#include "audio/SpoolFile.h"

#include "base/Translate.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const NotPrivate = TR_NOOP("Audio", "The directory is not private to this user");

// A real directory (not a symlink) owned by the user, with none of the
// permission bits in `closed` set.
bool PrivateDir(const std::string& dir, mode_t closed) {
    struct stat st;
    return !dir.empty() && ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & closed) == 0;
}

} // namespace

std::string TSpoolFile::SpoolDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && PrivateDir(runtime, S_IWGRP | S_IWOTH))
        return runtime;
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = tmp && *tmp ? tmp : "/tmp";
    const std::string dir = base + "/quillet-" + std::to_string(::geteuid());
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        throw EFCreateError(dir + "/PLAY.TMP", SystemErrorText(errno));
    // Refuses a directory someone else put there first, or one that others
    // may enter (they could hold files open inside).
    if (!PrivateDir(dir, 077))
        throw EFCreateError(dir + "/PLAY.TMP", Tr("Audio", NotPrivate));
    return dir;
}

TSpoolFile::TSpoolFile() : Path(SpoolDirectory() + "/PLAY.TMP") {
    if (::unlink(Path.c_str()) != 0 && errno != ENOENT)
        throw EFCreateError(Path, SystemErrorText(errno));
    Fd = ::open(Path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (Fd < 0)
        throw EFCreateError(Path, SystemErrorText(errno));
}

TSpoolFile::~TSpoolFile() {
    ::unlink(Path.c_str());
    ::close(Fd);
}

size_t TSpoolFile::Read(void* buffer, size_t count) {
    size_t got = 0;
    while (got < count) {
        const ssize_t n = ::read(Fd, static_cast<char*>(buffer) + got, count - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EReadError(SystemErrorText(errno));
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return got;
}

void TSpoolFile::Write(const void* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(Fd, static_cast<const char*>(buffer) + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EWriteError(SystemErrorText(errno));
        }
        done += static_cast<size_t>(n);
    }
}

int64_t TSpoolFile::Seek(int64_t offset, TSeekOrigin origin) {
    const int whence = origin == TSeekOrigin::Begin     ? SEEK_SET
                       : origin == TSeekOrigin::Current ? SEEK_CUR
                                                        : SEEK_END;
    const off_t r = ::lseek(Fd, offset, whence);
    if (r < 0)
        throw EReadError(SystemErrorText(errno));
    return r;
}
