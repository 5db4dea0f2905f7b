// A temporary directory for one test, removed with everything in it.
#pragma once

#include <string>

class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::string& Path() const { return Dir; }
    // Path() + "/" + name
    std::string File(const std::string& name) const { return Dir + "/" + name; }
    void Write(const std::string& name, const std::string& content, unsigned mode = 0644) const;
    std::string Read(const std::string& name) const;

private:
    std::string Dir;
};

// Reads a whole file ("" when it cannot be read).
std::string ReadWholeFile(const std::string& path);
