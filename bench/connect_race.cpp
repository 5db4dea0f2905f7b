// The Quillet side of the connect-race benchmark (connect_race.sh):
//   connect_race_bench hole PORT
//     a black hole on [::1]:PORT (a listener whose accept queue is full,
//     so a SYN gets no answer); prints "ready" and waits to be killed.
//   connect_race_bench send PORT FILE
//     delivers a mail with FILE's text as its body with TNetSMTP to the
//     name race.test:PORT, whose addresses are ::1 and then 127.0.0.1,
//     with a 60 s connect time-out: the race must get past the black hole.
//   connect_race_bench eml OUT FILE
//     the same mail as an .eml file, for curl to send.
#include "mail/message/NetMessage.h"
#include "smtp/NetSMTP.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

int Hole(int port) {
    const int listener = ::socket(AF_INET6, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(listener, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_port = htons(static_cast<uint16_t>(port));
    a.sin6_addr = in6addr_loopback;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listener, 0) != 0) {
        std::perror("hole");
        return 1;
    }
    // Connects of our own fill the queue; the kernel then drops new SYNs.
    std::vector<int> fillers;
    for (int i = 0; i < 8; ++i) {
        fillers.push_back(::socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK, 0));
        ::connect(fillers.back(), reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;)
        ::pause();
}

// A plain mail with FILE's text as its body, the same bytes every time.
void Fill(TNetMessage& m, const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    m.From.Address = "sender@example.test";
    m.Recipients.Add().Address = "rcpt@example.test";
    m.Subject = "Connect race";
    m.Body = {text.str()};
    m.Clock = [] { return time_t(1796613368); };
}

int Send(int port, const std::string& file) {
    TSmtpOptions o;
    o.Host = "race.test";
    o.HostAddresses = {"::1", "127.0.0.1"};
    o.Port = port;
    o.Security = ssNone;
    o.HeloName = "bench.test";
    o.ConnectTimeout = 60000;
    TNetSMTP smtp(o);
    TNetMessage m;
    Fill(m, file);
    smtp.ConnectAndGreet();
    smtp.SendMail(m);
    smtp.QuitAndClose();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        if (mode == "hole" && argc == 3)
            return Hole(std::atoi(argv[2]));
        if (mode == "send" && argc == 4)
            return Send(std::atoi(argv[2]), argv[3]);
        if (mode == "eml" && argc == 4) {
            // The same message as an .eml file, for curl to send.
            TNetMessage m;
            Fill(m, argv[3]);
            m.WriteToFile(argv[2], false);
            return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: %s hole PORT | send PORT FILE | eml OUT FILE\n", argv[0]);
    return 2;
}
