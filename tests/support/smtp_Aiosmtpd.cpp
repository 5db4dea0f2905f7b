// Launcher of the aiosmtpd test server; see smtp_Aiosmtpd.h.
#include "tests/support/smtp_Aiosmtpd.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return "";
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string Script() {
    // Beside this source file; QUILLET_SOURCE_DIR wins when the tree moved.
    if (const char* src = std::getenv("QUILLET_SOURCE_DIR"))
        return std::string(src) + "/tests/support/smtp_aiosmtpd_server.py";
    std::string here = __FILE__;
    return here.substr(0, here.rfind('/') + 1) + "smtp_aiosmtpd_server.py";
}

} // namespace

namespace {

TSmtpAiosmtpdOptions Plain(bool withAuth, const std::string& host, int port) {
    TSmtpAiosmtpdOptions o;
    o.Auth = withAuth;
    o.Host = host;
    o.Port = port;
    return o;
}

} // namespace

TSmtpAiosmtpd::TSmtpAiosmtpd(bool withAuth, const std::string& host, int port)
    : TSmtpAiosmtpd(Plain(withAuth, host, port)) {}

TSmtpAiosmtpd::TSmtpAiosmtpd(const TSmtpAiosmtpdOptions& o) {
    char tmpl[] = "/tmp/quillet-aiosmtpd-XXXXXX";
    if (!::mkdtemp(tmpl))
        return;
    FDir = tmpl;
    // The system interpreter: aiosmtpd is a Debian package, not in any
    // other Python a developer may have first on PATH.
    std::vector<std::string> args = {"/usr/bin/python3", Script(), "--dir", FDir};
    if (o.Auth)
        args.push_back("--auth");
    if (o.PlainOnly)
        args.push_back("--plain-only");
    if (o.Greylist)
        args.push_back("--greylist");
    if (o.SMTPUTF8)
        args.push_back("--smtputf8");
    if (!o.StartTLSCert.empty())
        args.insert(args.end(),
                    {"--starttls-cert", o.StartTLSCert, "--starttls-key", o.StartTLSKey});
    if (!o.ClearAuth.empty())
        args.insert(args.end(), {"--clear-auth", o.ClearAuth});
    if (!o.ImplicitCert.empty())
        args.insert(args.end(),
                    {"--implicit-cert", o.ImplicitCert, "--implicit-key", o.ImplicitKey});
    if (!o.OAuthToken.empty())
        args.insert(args.end(), {"--oauth-token", o.OAuthToken, "--oauth-mechs", o.OAuthMechs,
                                 "--refuse-status", o.RefuseStatus});
    args.insert(args.end(), {"--host", o.Host, "--port", std::to_string(o.Port)});
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&FPid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        FPid = -1;
        return;
    }
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
        std::string port = ReadFile(FDir + "/port");
        if (!port.empty()) {
            // The implicit port is published first.
            FImplicitPort = std::atoi(ReadFile(FDir + "/implicit-port").c_str());
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

TSmtpAiosmtpd::~TSmtpAiosmtpd() {
    if (FPid > 0) {
        ::kill(FPid, SIGINT);
        int status;
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (::waitpid(FPid, &status, WNOHANG) != FPid) {
            if (std::chrono::steady_clock::now() > end) {
                ::kill(FPid, SIGKILL);
                ::waitpid(FPid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (!FDir.empty()) {
        std::string cmd = "rm -rf '" + FDir + "'";
        (void)!std::system(cmd.c_str());
    }
}

std::string TSmtpAiosmtpd::Message(int n, int ms) const {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    const std::string path = FDir + "/message-" + std::to_string(n) + ".eml";
    for (;;) {
        std::string m = ReadFile(path);
        if (!m.empty() || std::chrono::steady_clock::now() > end)
            return m;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string TSmtpAiosmtpd::Envelope(int n) const {
    return ReadFile(FDir + "/message-" + std::to_string(n) + ".txt");
}

std::string TSmtpAiosmtpd::Commands() const {
    return ReadFile(FDir + "/commands.txt");
}

std::string TSmtpAiosmtpd::Sasl() const {
    return ReadFile(FDir + "/sasl.txt");
}
