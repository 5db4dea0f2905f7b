// File and memory streams; see Stream.h.
#include "base/Stream.h"

#include "base/Translate.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int64_t TStream::Size() {
    int64_t here = Position();
    int64_t end = Seek(0, TSeekOrigin::End);
    Seek(here, TSeekOrigin::Begin);
    return end;
}

void TStream::ReadBuffer(void* buffer, size_t count) {
    size_t got = 0;
    while (got < count) {
        size_t n = Read(static_cast<char*>(buffer) + got, count - got);
        if (n == 0)
            throw EReadError(Tr("Stream", "Stream read error"));
        got += n;
    }
}

TFileStream::TFileStream(const std::string& path, Mode mode, unsigned perms) : Path(path) {
    int flags = O_CLOEXEC;
    switch (mode) {
    case Mode::Create:
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        break;
    case Mode::OpenRead:
        flags |= O_RDONLY;
        break;
    case Mode::OpenWrite:
        flags |= O_WRONLY;
        break;
    case Mode::OpenReadWrite:
        flags |= O_RDWR;
        break;
    }
    Fd = ::open(path.c_str(), flags, perms);
    if (Fd < 0) {
        int err = errno;
        if (mode == Mode::Create)
            throw EFCreateError(path, SystemErrorText(err));
        throw EFOpenError(path, SystemErrorText(err));
    }
}

TFileStream::~TFileStream() {
    if (Fd >= 0)
        ::close(Fd);
}

size_t TFileStream::Read(void* buffer, size_t count) {
    size_t got = 0;
    while (got < count) {
        ssize_t n = ::read(Fd, static_cast<char*>(buffer) + got, count - got);
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

void TFileStream::Write(const void* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::write(Fd, static_cast<const char*>(buffer) + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EWriteError(SystemErrorText(errno));
        }
        done += static_cast<size_t>(n);
    }
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int whence = origin == TSeekOrigin::Begin     ? SEEK_SET
                 : origin == TSeekOrigin::Current ? SEEK_CUR
                                                  : SEEK_END;
    off_t r = ::lseek(Fd, offset, whence);
    if (r < 0)
        throw EReadError(SystemErrorText(errno));
    return r;
}

int64_t TFileStream::Size() {
    struct stat st;
    if (::fstat(Fd, &st) != 0)
        throw EReadError(SystemErrorText(errno));
    return st.st_size;
}

void TFileStream::Sync() {
    if (::fsync(Fd) != 0)
        throw EWriteError(SystemErrorText(errno));
}

size_t TMemoryStream::Read(void* buffer, size_t count) {
    if (Pos >= Data.size())
        return 0;
    size_t n = std::min(count, Data.size() - Pos);
    std::memcpy(buffer, Data.data() + Pos, n);
    Pos += n;
    return n;
}

void TMemoryStream::Write(const void* buffer, size_t count) {
    if (Pos + count > Data.size())
        Data.resize(Pos + count);
    if (count)
        std::memcpy(Data.data() + Pos, buffer, count);
    Pos += count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == TSeekOrigin::Begin     ? 0
                   : origin == TSeekOrigin::Current ? static_cast<int64_t>(Pos)
                                                    : static_cast<int64_t>(Data.size());
    int64_t p = base + offset;
    if (p < 0)
        p = 0;
    Pos = static_cast<size_t>(p);
    return p;
}
