// Program location and small file-name helpers; see Program.h.
#include "platform/Program.h"

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

std::string ProgramFile() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return std::string();
    return std::string(buf, static_cast<size_t>(n));
}

std::string ProgramDir() {
    return ExtractFilePath(ProgramFile());
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ext;
    return path.substr(0, dot) + ext;
}

std::string ExtractFileName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtractFilePath(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DeleteFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}
