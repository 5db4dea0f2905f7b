// The tests' OAuth 2.0 authorization server (oauth_server.py) on 127.0.0.1
// over HTTPS with a certificate of the tests' own CA, and a stand-in
// browser that the program's xdg-open reaches: it follows the authorization
// address, where the server grants at once, back to the loopback redirect.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

struct TOAuthServerOptions {
    std::string Cert, Key;                 // the server's certificate (tls_TestPki.h)
    std::string AccessTokens = "access-1"; // issued in turn, the last repeats
    int ExpiresIn = 3600;                  // of each access token, in server seconds
    bool Deny = false;                     // the browser page says no
    bool Revoke = false;                   // every refresh is invalid_grant
    std::string DeviceScript = "grant"; // answers to device polls: pending, slow_down, grant, ...
    int DeviceExpiresIn = 600;
    int Interval = 2;
    int SecondMs = 1000;
};

class TOAuthTestServer {
public:
    explicit TOAuthTestServer(const TOAuthServerOptions& options);
    ~TOAuthTestServer();
    TOAuthTestServer(const TOAuthTestServer&) = delete;
    TOAuthTestServer& operator=(const TOAuthTestServer&) = delete;

    int Port() const { return FPort; } // 0: did not start
    std::string Url(const std::string& path) const;
    static const char* ClientId() { return "quillet-test-client"; }
    // One request a line: "authorize ...", "token refresh_token", "poll pending", ...
    std::string Log() const;
    // Every token issued, one a line.
    std::vector<std::string> Issued() const;

private:
    std::string FDir;
    pid_t FPid = -1;
    int FPort = 0;
};

// While it lives, "xdg-open" on PATH is the stand-in browser trusting caFile.
class TOAuthBrowser {
public:
    explicit TOAuthBrowser(const std::string& caFile);
    ~TOAuthBrowser();
    // The pages the browser got back, one a line; waits up to ms for count.
    std::string Pages(size_t count, int ms = 10000) const;

private:
    std::string FDir, FOldPath;
};
