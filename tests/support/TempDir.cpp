// Temporary directories for tests.
#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <vector>

TTempDir::TTempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "quillet-test-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed");
    Dir = buf.data();
}

TTempDir::~TTempDir() {
    std::error_code ec;
    // Give back write permission first so read-only test folders can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(Dir, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        ::chmod(it->path().c_str(), 0700);
    ::chmod(Dir.c_str(), 0700);
    std::filesystem::remove_all(Dir, ec);
}

void TTempDir::Write(const std::string& name, const std::string& content, unsigned mode) const {
    std::string path = File(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    ::chmod(path.c_str(), mode);
}

std::string TTempDir::Read(const std::string& name) const {
    return ReadWholeFile(File(name));
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
