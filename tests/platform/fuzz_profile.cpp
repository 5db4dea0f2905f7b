// libFuzzer target for the INI reader and writer: arbitrary file contents
// are read for a few keys, then one key is written and read back.
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
    // A written value must read back exactly, whatever surrounded it.
    if (WriteProfileString(Path, "SMTP", "Server", "mail.example.org") &&
        ReadProfileString(Path, "smtp", "SERVER", "") != "mail.example.org")
        abort();
    return 0;
}
