// Size updates while recording and the repair of an unfinished recording;
// see WAVRepair.h.
#include "audio/WAVRepair.h"

#include "base/Exception.h"
#include "base/Stream.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int64_t HeaderSize = 44;

uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutSize(int fd, uint32_t value, off_t at) {
    uint8_t v[4];
    for (int i = 0; i < 4; ++i)
        v[i] = static_cast<uint8_t>(value >> (8 * i));
    ssize_t n;
    do
        n = ::pwrite(fd, v, sizeof v, at);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        throw EWriteError(SystemErrorText(errno));
    if (n != sizeof v)
        throw EWriteError(SystemErrorText(EIO));
}

// The block size of a header the recorder wrote, 0 for any other header.
uint16_t RecorderBlockAlign(const uint8_t* h) {
    const uint16_t channels = Get16(h + 22);
    const uint16_t bits = Get16(h + 34);
    const uint16_t align = Get16(h + 32);
    const uint32_t rate = Get32(h + 24);
    if (std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 8, "WAVE", 4) != 0 ||
        std::memcmp(h + 12, "fmt ", 4) != 0 || Get32(h + 16) != 16 || Get16(h + 20) != 1 ||
        std::memcmp(h + 36, "data", 4) != 0 || (channels != 1 && channels != 2) ||
        (bits != 8 && bits != 16) || align != channels * bits / 8 || rate == 0 ||
        Get32(h + 28) != rate * align)
        return 0;
    return align;
}

} // namespace

void WriteWaveSizes(int fd, int64_t length) {
    PutSize(fd, static_cast<uint32_t>(length - 8), 4);
    PutSize(fd, static_cast<uint32_t>(length - HeaderSize), 40);
}

int64_t WholeBlockLength(int64_t length, uint16_t blockAlign) {
    if (length <= HeaderSize || blockAlign == 0)
        return length < HeaderSize ? length : HeaderSize;
    return HeaderSize + (length - HeaderSize) / blockAlign * blockAlign;
}

bool RepairWAVFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    bool repaired = false;
    uint8_t h[HeaderSize];
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= HeaderSize &&
        ::pread(fd, h, sizeof h, 0) == static_cast<ssize_t>(sizeof h)) {
        const uint16_t align = RecorderBlockAlign(h);
        const int64_t length = WholeBlockLength(st.st_size, align);
        if (align != 0 && length - 8 <= UINT32_MAX) {
            try {
                if (length != st.st_size && ::ftruncate(fd, length) != 0)
                    throw EWriteError(SystemErrorText(errno));
                // Sizes that are already right are not rewritten, so a
                // finished recording keeps its modification time.
                if (Get32(h + 4) != static_cast<uint32_t>(length - 8) ||
                    Get32(h + 40) != static_cast<uint32_t>(length - HeaderSize))
                    WriteWaveSizes(fd, length);
                repaired = true;
            } catch (const EWriteError&) {
            }
        }
    }
    ::close(fd);
    return repaired;
}

std::string MoveAsideFile(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = hasExt ? path.substr(0, dot) : path;
    const std::string ext = hasExt ? path.substr(dot) : "";
    struct stat st;
    const time_t when = ::lstat(path.c_str(), &st) == 0 ? st.st_mtime : std::time(nullptr);
    struct tm local;
    localtime_r(&when, &local);
    char date[32];
    std::strftime(date, sizeof date, "-%Y%m%d-%H%M%S", &local);
    for (int n = 1;; ++n) {
        std::string target = stem + date + (n > 1 ? "-" + std::to_string(n) : "") + ext;
        // Never replaces a file that already has the name; link + unlink
        // where the file system lacks the no-replace rename.
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return target;
        if (errno == EINVAL && ::link(path.c_str(), target.c_str()) == 0) {
            ::unlink(path.c_str());
            return target;
        }
        if (errno != EEXIST || n >= 100)
            throw EFCreateError(target, SystemErrorText(errno));
    }
}
