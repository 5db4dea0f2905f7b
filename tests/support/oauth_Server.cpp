// Launchers of the test authorization server and browser; see oauth_Server.h.
#include "tests/support/oauth_Server.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string Beside(const char* name) {
    if (const char* src = std::getenv("QUILLET_SOURCE_DIR"))
        return std::string(src) + "/tests/support/" + name;
    std::string here = __FILE__;
    return here.substr(0, here.rfind('/') + 1) + name;
}

std::string TempDir(const char* what) {
    std::string pattern = std::string("/tmp/quillet-") + what + "-XXXXXX";
    return ::mkdtemp(pattern.data()) ? pattern : "";
}

} // namespace

TOAuthTestServer::TOAuthTestServer(const TOAuthServerOptions& o) : FDir(TempDir("oauth")) {
    std::vector<std::string> args = {"/usr/bin/python3",
                                     Beside("oauth_server.py"),
                                     "--dir",
                                     FDir,
                                     "--cert",
                                     o.Cert,
                                     "--key",
                                     o.Key,
                                     "--client-id",
                                     ClientId(),
                                     "--access-tokens",
                                     o.AccessTokens,
                                     "--expires-in",
                                     std::to_string(o.ExpiresIn),
                                     "--device-script",
                                     o.DeviceScript,
                                     "--device-expires-in",
                                     std::to_string(o.DeviceExpiresIn),
                                     "--interval",
                                     std::to_string(o.Interval),
                                     "--second-ms",
                                     std::to_string(o.SecondMs)};
    if (o.Deny)
        args.push_back("--deny");
    if (o.Revoke)
        args.push_back("--revoke");
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&FPid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        FPid = -1;
        return;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
        const std::string port = ReadFile(FDir + "/port");
        if (!port.empty()) {
            FPort = std::atoi(port.c_str());
            return;
        }
        int status;
        if (::waitpid(FPid, &status, WNOHANG) == FPid) {
            FPid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

TOAuthTestServer::~TOAuthTestServer() {
    if (FPid > 0) {
        ::kill(FPid, SIGKILL);
        int status;
        ::waitpid(FPid, &status, 0);
    }
    (void)!std::system(("rm -rf '" + FDir + "'").c_str());
}

std::string TOAuthTestServer::Url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(FPort) + path;
}

std::string TOAuthTestServer::Log() const {
    return ReadFile(FDir + "/log.txt");
}

std::vector<std::string> TOAuthTestServer::Issued() const {
    std::vector<std::string> tokens;
    std::istringstream in(ReadFile(FDir + "/issued.txt"));
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            tokens.push_back(line);
    return tokens;
}

TOAuthBrowser::TOAuthBrowser(const std::string& caFile) : FDir(TempDir("browser")) {
    const std::string script = FDir + "/xdg-open";
    std::ofstream(script) << "#!/bin/sh\nexport QUILLET_TEST_CA='" << caFile
                          << "' QUILLET_TEST_BROWSER_LOG='" << FDir
                          << "/pages'\nexec /usr/bin/python3 '" << Beside("oauth_browser.py")
                          << "' \"$1\"\n";
    ::chmod(script.c_str(), 0755);
    const char* path = std::getenv("PATH");
    FOldPath = path ? path : "/usr/bin:/bin";
    ::setenv("PATH", (FDir + ":" + FOldPath).c_str(), 1);
}

TOAuthBrowser::~TOAuthBrowser() {
    ::setenv("PATH", FOldPath.c_str(), 1);
    (void)!std::system(("rm -rf '" + FDir + "'").c_str());
}

std::string TOAuthBrowser::Pages(size_t count, int ms) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const std::string pages = ReadFile(FDir + "/pages");
        size_t lines = 0;
        for (char c : pages)
            lines += c == '\n';
        if (lines >= count || std::chrono::steady_clock::now() > end)
            return pages;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
