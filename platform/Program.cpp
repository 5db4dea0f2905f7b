// Program location and small file-name helpers; see Program.h.
#include "platform/Program.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
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

namespace {

// Root may write anywhere: for it a directory without write bits counts as
// read-only, as it does for everyone else.
bool DirWritable(const std::string& dir) {
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0 || ::access(dir.c_str(), W_OK) != 0)
        return false;
    return ::geteuid() != 0 || (st.st_mode & 0222) != 0;
}

// $<variable>/quillet/, or $HOME/<fallback>/quillet/ when the variable is
// unset or not absolute (the program's directory without HOME); missing
// directories are made with mode 0700.
std::string UserDir(const char* variable, const char* fallback) {
    std::string base;
    if (const char* v = std::getenv(variable); v && *v == '/')
        base = v;
    else if (const char* home = std::getenv("HOME"))
        base = std::string(home) + "/" + fallback;
    if (base.empty())
        return ProgramDir();
    std::string dir = base + "/quillet/";
    for (size_t slash = dir.find('/', 1); slash != std::string::npos;
         slash = dir.find('/', slash + 1))
        ::mkdir(dir.substr(0, slash).c_str(), 0700); // existing ones are kept as they are
    return dir;
}

} // namespace

std::string UserConfigDir() {
    const std::string here = ProgramDir();
    return DirWritable(here) ? here : UserDir("XDG_CONFIG_HOME", ".config");
}

std::string UserDataDir() {
    const std::string here = ProgramDir();
    return DirWritable(here) ? here : UserDir("XDG_DATA_HOME", ".local/share");
}

std::string UserCacheDir() {
    return UserDir("XDG_CACHE_HOME", ".cache");
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
