// Hand-over folders; see HandoverFolder.h.
#include "workflow/HandoverFolder.h"

#include "base/Exception.h"
#include "platform/Program.h"

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <vector>

namespace {

// Makes dir and its missing parents with mode 0700; false when dir is no
// directory afterwards.
bool MakeDirs(const std::string& dir) {
    for (size_t slash = dir.find('/', 1); slash != std::string::npos;
         slash = dir.find('/', slash + 1))
        ::mkdir(dir.substr(0, slash).c_str(), 0700); // existing ones are kept as they are
    ::mkdir(dir.c_str(), 0700);
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0)
        return false;
    errno = ENOTDIR;
    return S_ISDIR(st.st_mode);
}

// The folders (never what a link points to) last changed before the limit.
void RemoveOldFolders(const std::string& root) {
    DIR* dir = ::opendir(root.c_str());
    if (!dir)
        return;
    const time_t limit = std::time(nullptr) - time_t(THandoverFolder::MaxAgeDays) * 24 * 3600;
    std::vector<std::string> old;
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        struct stat st;
        if (name == "." || name == ".." || ::lstat((root + name).c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode) && st.st_mtime < limit)
            old.push_back(root + name);
    }
    ::closedir(dir);
    std::error_code ignored; // one that cannot go now is tried at the next hand-over
    for (const std::string& folder : old)
        std::filesystem::remove_all(folder, ignored);
}

} // namespace

std::string THandoverFolder::DefaultRoot() {
    return UserCacheDir() + "handover/";
}

THandoverFolder::THandoverFolder(const std::string& root) {
    std::string base = root.empty() ? DefaultRoot() : root;
    if (base.back() != '/')
        base += '/';
    if (!MakeDirs(base.substr(0, base.size() - 1)))
        throw EFCreateError(base, SystemErrorText(errno));
    RemoveOldFolders(base);
    // Named by the time of the hand-over, so the user can tell them apart.
    char stamp[32];
    const time_t now = std::time(nullptr);
    struct tm local;
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S-", ::localtime_r(&now, &local));
    std::string pattern = base + stamp + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data()))
        throw EFCreateError(pattern, SystemErrorText(errno));
    Dir = std::string(name.data()) + "/";
}

THandoverFolder::~THandoverFolder() {
    if (Kept)
        return;
    std::error_code ignored;
    std::filesystem::remove_all(Dir, ignored);
}

std::string THandoverFolder::Add(const std::string& file) {
    const std::string copy = Dir + ExtractFileName(file);
    std::error_code error;
    if (!std::filesystem::copy_file(file, copy, error))
        throw EFCreateError(copy, error.message());
    return copy;
}
