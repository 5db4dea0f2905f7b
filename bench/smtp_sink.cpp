// A fast SMTP sink for the delivery benchmark: answers the dialogue of one
// connection after another on 127.0.0.1 and discards the message data in
// large reads. Prints its port on stdout once listening, and the size of
// every message's data (up to the end marker) as one line on stderr, so the
// driver can check every tool sent the same. Not a server for anything but
// benchmarks: no checks beyond finding the end of data.
#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool Send(int fd, const char* text) {
    size_t n = std::strlen(text);
    return ::send(fd, text, n, MSG_NOSIGNAL) == static_cast<ssize_t>(n);
}

// Reads the data up to CR LF "." CR LF; the end may straddle two reads.
// bytes: the data's size with the CR LF before "." and without the rest.
bool SkipData(int fd, std::string& pending, unsigned long long& bytes) {
    static char buf[1 << 20];
    std::string tail = pending; // at most a few bytes kept between reads
    pending.clear();
    // Bytes of the stream before tail's first byte.
    unsigned long long before = 0;
    for (;;) {
        size_t hit = tail.find("\r\n.\r\n");
        if (tail.rfind(".\r\n", 0) == 0)
            hit = std::string::npos - 1; // empty data
        if (hit != std::string::npos) {
            size_t after = hit == std::string::npos - 1 ? 3 : hit + 5;
            bytes = hit == std::string::npos - 1 ? 0 : before + hit + 2;
            pending = tail.substr(after);
            return true;
        }
        if (tail.size() > 4) {
            before += tail.size() - 4;
            tail.erase(0, tail.size() - 4);
        }
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return false;
        tail.append(buf, static_cast<size_t>(n));
    }
}

void Session(int fd) {
    std::string pending;
    if (!Send(fd, "220 sink ready\r\n"))
        return;
    char buf[65536];
    for (;;) {
        size_t lf;
        while ((lf = pending.find('\n')) == std::string::npos) {
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                return;
            pending.append(buf, static_cast<size_t>(n));
        }
        std::string line = pending.substr(0, lf);
        pending.erase(0, lf + 1);
        std::string verb = line.substr(0, 4);
        for (char& c : verb)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (verb == "EHLO")
            Send(fd, "250-sink\r\n250 8BITMIME\r\n");
        else if (verb == "DATA") {
            Send(fd, "354 go ahead\r\n");
            unsigned long long bytes = 0;
            if (!SkipData(fd, pending, bytes))
                return;
            std::fprintf(stderr, "%llu\n", bytes);
            std::fflush(stderr);
            Send(fd, "250 discarded\r\n");
        } else if (verb == "QUIT") {
            Send(fd, "221 bye\r\n");
            return;
        } else
            Send(fd, "250 ok\r\n");
    }
}

} // namespace

int main() {
    int l = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(l, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(l, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(l, 8) != 0)
        return 1;
    socklen_t len = sizeof sa;
    ::getsockname(l, reinterpret_cast<sockaddr*>(&sa), &len);
    std::printf("%d\n", ntohs(sa.sin_port));
    std::fflush(stdout);
    for (;;) {
        int fd = ::accept(l, nullptr, nullptr);
        if (fd < 0)
            continue;
        Session(fd);
        ::close(fd);
    }
}
