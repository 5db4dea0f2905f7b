// Byte streams: an abstract TStream with a file stream over POSIX descriptors
// and a growable memory stream. File open failures raise the shared file
// errors; short reads return the count read, write failures raise
// EWriteError with the system's reason.
#pragma once

#include "base/Exception.h"

#include <cstdint>
#include <string>
#include <vector>

class EWriteError : public Exception {
public:
    using Exception::Exception;
};

class EReadError : public Exception {
public:
    using Exception::Exception;
};

enum class TSeekOrigin { Begin, Current, End };

class TStream {
public:
    virtual ~TStream() = default;
    // Reads up to count bytes; returns how many were read (0 at the end).
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Writes all count bytes or raises EWriteError.
    virtual void Write(const void* buffer, size_t count) = 0;
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t Size();

    int64_t Position() { return Seek(0, TSeekOrigin::Current); }
    void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::Begin); }
    // Reads exactly count bytes or raises EReadError.
    void ReadBuffer(void* buffer, size_t count);
    void WriteString(const std::string& s) { Write(s.data(), s.size()); }
};

class TFileStream : public TStream {
public:
    enum class Mode {
        Create,    // create or truncate, read/write; EFCreateError on failure
        OpenRead,  // existing file, read only; EFOpenError on failure
        OpenWrite, // existing file, write only
        OpenReadWrite
    };
    // perms applies to a file that Create makes (umask still applies).
    TFileStream(const std::string& path, Mode mode, unsigned perms = 0644);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;
    // Flushes the file's data to the disk (fsync); raises EWriteError.
    void Sync();
    const std::string& FileName() const { return Path; }
    int Handle() const { return Fd; }

private:
    std::string Path;
    int Fd = -1;
};

class TMemoryStream : public TStream {
public:
    size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(Data.size()); }
    void Clear() {
        Data.clear();
        Pos = 0;
    }

    std::vector<uint8_t> Data;

private:
    size_t Pos = 0;
};
