// libFuzzer target for the INI reader and writer: arbitrary file contents
// are read for a few keys, then one key is written and read back (or
// refused for a line break).
#include "platform/Profile.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
std::string Path;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char tmpl[] = "/tmp/quillet-fuzz-ini-XXXXXX";
    int fd = mkstemp(tmpl);
    if (fd < 0)
        abort();
    close(fd);
    Path = tmpl;
    atexit([] { std::remove(Path.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(Path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    const char* sections[] = {"Audio", "User", "SMTP", ""};
    const char* keys[] = {"SampleRate", "Name", "Password", ""};
    for (const char* section : sections)
        for (const char* key : keys)
            if (ReadProfileString(Path, section, key, "dflt").size() > ProfileValueLimit)
                abort();
    // A written value (the input's first bytes) must read back exactly,
    // whatever surrounded it, or be refused for its line break.
    const std::string value(reinterpret_cast<const char*>(data), size < 24 ? size : 24);
    try {
        if (WriteProfileString(Path, "SMTP", "Server", value) &&
            ReadProfileString(Path, "smtp", "SERVER", "") != value)
            abort();
    } catch (const EProfileValueError&) {
        if (value.find_first_of("\r\n") == std::string::npos)
            abort();
    }
    return 0;
}
