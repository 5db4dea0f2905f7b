// The outbox folder; see Outbox.h.
#include "workflow/Outbox.h"

#include "platform/Program.h"
#include "workflow/OutboxEntry.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const std::string& path, int err) {
    throw EOutboxError(path + ": " + SystemErrorText(err));
}

std::string NewId() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
    uint32_t bits = 0;
    while (::getrandom(&bits, sizeof bits, 0) != sizeof bits) {
    }
    char id[48];
    std::snprintf(id, sizeof id, "%s-%08x", stamp, bits);
    return id;
}

// A queued message's folder name: what NewId makes.
bool IsId(const std::string& name) {
    return name.size() == 24 && std::isdigit(static_cast<unsigned char>(name[0])) &&
           name.find_first_not_of("0123456789abcdef-") == std::string::npos;
}

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return names;
    while (dirent* e = ::readdir(d))
        names.emplace_back(e->d_name);
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

void RemoveTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string ReadSmallFile(const std::string& path, size_t cap, int& err) {
    err = 0;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        err = errno;
        return "";
    }
    std::string text;
    char buffer[8192];
    ssize_t n;
    while (text.size() <= cap && (n = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return text;
}

// Makes dir (and its parents) when missing; the last one with mode 0700.
void MakeDir(const std::string& dir) {
    std::error_code error;
    const std::filesystem::path path(dir);
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), error);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        Fail(dir, errno);
}

} // namespace

void WriteFileSynced(const std::string& path, std::string_view data) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        Fail(path, errno);
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : ENOSPC;
            ::close(fd);
            Fail(path, err);
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        Fail(path, err);
    }
    if (::close(fd) != 0)
        Fail(path, errno);
}

void SyncDirectory(const std::string& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        Fail(dir, errno);
    const int result = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    if (result != 0)
        Fail(dir, err);
}

std::string OutboxDirPath() {
    if (const char* dir = std::getenv("QUILLET_OUTBOX_DIR"); dir && *dir)
        return dir;
    return UserDataDir() + "outbox/";
}

TOutbox::TOutbox(const std::string& dir) : FDir(dir) {
    if (FDir.empty() || FDir.back() != '/')
        FDir += '/';
}

std::string TOutbox::Add(std::string_view text, const TOutboxEnvelope& envelope) const {
    MakeDir(FDir.substr(0, FDir.size() - 1));
    const std::string id = NewId();
    const std::string fresh = FDir + ".new-" + id;
    if (::mkdir(fresh.c_str(), 0700) != 0)
        Fail(fresh, errno);
    // Held while it is written: CleanUp leaves a folder alone while a
    // writer is alive.
    int lock = ::open(fresh.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock >= 0)
        ::flock(lock, LOCK_EX);
    try {
        TOutboxEnvelope e = envelope;
        e.Size = static_cast<int64_t>(text.size());
        WriteFileSynced(fresh + "/message.eml", text);
        WriteFileSynced(fresh + "/envelope", FormatEnvelope(e));
        SyncDirectory(fresh);
        if (::rename(fresh.c_str(), (FDir + id).c_str()) != 0)
            Fail(FDir + id, errno);
        SyncDirectory(FDir);
    } catch (...) {
        RemoveTree(fresh);
        if (lock >= 0)
            ::close(lock);
        throw;
    }
    if (lock >= 0)
        ::close(lock);
    return id;
}

std::vector<std::string> TOutbox::List() const {
    std::vector<std::string> ids;
    for (std::string& name : Names(FDir))
        if (IsId(name))
            ids.push_back(std::move(name));
    return ids;
}

std::optional<TOutboxEnvelope> TOutbox::ReadEnvelope(const std::string& id,
                                                     std::string& problem) const {
    int err = 0;
    const std::string text = ReadSmallFile(FDir + id + "/envelope", MaxEnvelopeBytes, err);
    if (err != 0) {
        problem = SystemErrorText(err);
        return std::nullopt;
    }
    return ParseEnvelope(text, problem);
}

std::unique_ptr<TOutboxEntry> TOutbox::Take(const std::string& id) const {
    const std::string folder = FDir + id;
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat held, now;
    // The folder may have been sent and removed between the open and the
    // lock; then the name names nothing, or something else.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &held) != 0 ||
        ::stat(folder.c_str(), &now) != 0 || held.st_ino != now.st_ino ||
        held.st_dev != now.st_dev) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<TOutboxEntry>(FDir, id, fd);
}

void TOutbox::CleanUp() const {
    for (const std::string& name : Names(FDir)) {
        if (name.rfind(".sent-", 0) == 0 || name.rfind(".gone-", 0) == 0) {
            RemoveTree(FDir + name);
        } else if (name.rfind(".new-", 0) == 0) {
            int fd = ::open((FDir + name).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
                RemoveTree(FDir + name);
            if (fd >= 0)
                ::close(fd);
        }
    }
}

std::vector<TGivenUpMail> TOutbox::TakeUnreported() const {
    std::vector<TGivenUpMail> given;
    const std::string dir = FailedDir();
    // In the order they were given up: "<id>.<nanoseconds>.why".
    std::vector<std::string> notes;
    for (const std::string& name : Names(dir))
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".why") == 0)
            notes.push_back(name);
    auto stamp = [](const std::string& name) { return name.substr(name.find('.')); };
    std::stable_sort(notes.begin(), notes.end(), [&](const std::string& a, const std::string& b) {
        return stamp(a).size() != stamp(b).size() ? stamp(a).size() < stamp(b).size()
                                                  : stamp(a) < stamp(b);
    });
    for (const std::string& name : notes) {
        int err = 0;
        const std::string note = ReadSmallFile(dir + name, 65536, err);
        // Handed out once: whoever removes the note reports it.
        if (::unlink((dir + name).c_str()) != 0)
            continue;
        TGivenUpMail mail;
        mail.Id = name.substr(0, name.find('.'));
        size_t pos = 0;
        while (pos < note.size()) {
            size_t end = note.find('\n', pos);
            if (end == std::string::npos)
                end = note.size();
            const std::string line = note.substr(pos, end - pos);
            pos = end + 1;
            for (auto [key, field] :
                 {std::pair{"To: ", &mail.To}, std::pair{"Subject: ", &mail.Subject},
                  std::pair{"Reason: ", &mail.Reason}, std::pair{"File: ", &mail.MessageFile}})
                if (line.rfind(key, 0) == 0)
                    *field = line.substr(std::string(key).size());
        }
        given.push_back(std::move(mail));
    }
    return given;
}
