// libFuzzer target: the whole SMTP dialogue of a small message against
// replies the fuzzer writes. The input's first byte chooses the size of the
// pieces the replies arrive in and whether the peer closes or falls silent
// at the end; the rest is everything the server says. ConnectAndGreet,
// SendMail and QuitAndClose run with Security None and a login. Whatever
// the replies:
//  - every failure is an Exception with a message, nothing else escapes;
//  - the client writes no bare CR or LF (so no command holds a line break);
//  - the password never appears in clear on the wire;
//  - AUTH is sent only with a mechanism the last EHLO reply announced;
//  - after DATA refused (any reply but 354), nothing but QUIT is sent.
#include "base/Text.h"
#include "mail/message/NetMessage.h"
#include "smtp/NetSMTP.h"
#include "tests/net/tcp_MemoryTransport.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

const std::string Password = "pw-Zq7#secret";

// The mechanisms of the "AUTH" lines of an EHLO reply, upper case, read
// here from the reply's text lines without the client's own parser.
bool Announces(const std::vector<std::string>& text, const std::string& mechanism) {
    for (const std::string& raw : text) {
        std::string line = UpperCase(raw);
        if (line.compare(0, 4, "AUTH") != 0 || line.size() < 5 ||
            (line[4] != ' ' && line[4] != '='))
            continue;
        for (char& c : line)
            if (c == '=')
                c = ' ';
        std::istringstream words(line.substr(5));
        for (std::string w; words >> w;)
            if (w == mechanism)
                return true;
    }
    return false;
}

// Watches every write of the client: the command before it and what the
// client had read by then.
class TWatchedTransport : public TMemoryTransport {
public:
    TNetSMTP* Smtp = nullptr;
    std::vector<std::string> EhloReply;
    bool AfterEhlo = false;
    bool AfterData = false;
    bool DataRefused = false;

    ssize_t Send(const void* data, size_t count) override {
        const std::string s(static_cast<const char*>(data), count);
        if (AfterEhlo)
            EhloReply = Smtp->LastReply.Text;
        if (AfterData && Smtp->LastReply.NumericCode != 354)
            DataRefused = true;
        if (DataRefused && s != "QUIT\r\n")
            std::abort(); // anything but QUIT after a refused DATA
        if (s.compare(0, 5, "AUTH ") == 0) {
            const std::string mechanism = s.substr(5, s.find_first_of(" \r", 5) - 5);
            if (!Announces(EhloReply, mechanism))
                std::abort();
        }
        AfterEhlo = s.compare(0, 5, "EHLO ") == 0;
        if (s.compare(0, 5, "HELO ") == 0)
            EhloReply.clear();
        AfterData = s == "DATA\r\n";
        return TMemoryTransport::Send(data, count);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    TNetSMTP smtp;
    TWatchedTransport& t = AttachTransport<TWatchedTransport>(smtp);
    t.IsOpen = false;
    t.Chunk = 1 + data[0] % 64;
    t.CloseAtEnd = data[0] & 64;
    t.Input.assign(reinterpret_cast<const char*>(data + 1), size - 1);

    TNetMessage m;
    m.From.Address = "sender@example.test";
    m.Recipients.Add().Address = "to@example.test";
    m.Subject = "Voice message";
    m.Body = {"Hello,", ".", "bye"};
    m.Clock = [] { return time_t(1796613368); };

    t.Smtp = &smtp;
    smtp.Host = "mail.example.test";
    smtp.HeloName = "client.test";
    smtp.Security = ssNone;
    smtp.SetAuthenticationType(atLogin);
    smtp.Username = "user";
    smtp.Password = Password;
    smtp.ReplyTimeout = 1000;
    auto guarded = [](auto&& step) {
        try {
            step();
        } catch (const Exception& e) {
            if (e.Message.empty())
                std::abort();
        } catch (...) {
            std::abort();
        }
    };
    guarded([&] {
        smtp.ConnectAndGreet();
        smtp.SendMail(m);
    });
    guarded([&] { smtp.QuitAndClose(); });

    const std::string& w = t.Output;
    for (size_t i = 0; i < w.size(); ++i) {
        if (w[i] == '\r' && (i + 1 >= w.size() || w[i + 1] != '\n'))
            std::abort();
        if (w[i] == '\n' && (i == 0 || w[i - 1] != '\r'))
            std::abort();
    }
    if (w.find(Password) != std::string::npos)
        std::abort();
    return 0;
}
