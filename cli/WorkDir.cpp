// Makes and removes the private working directory; see WorkDir.h.
#include "cli/WorkDir.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

TWorkDir::TWorkDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp ? tmp : "/tmp";
    std::string pattern = base + "/quillet-send-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data()))
        throw EFCreateError(pattern, SystemErrorText(errno));
    Dir = std::string(name.data()) + "/";
}

TWorkDir::~TWorkDir() {
    std::error_code ignored;
    std::filesystem::remove_all(Dir, ignored);
}
