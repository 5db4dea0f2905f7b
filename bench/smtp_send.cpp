// The Quillet side of the delivery benchmark: builds the program's message
// with one attachment and either delivers it with TNetSMTP to 127.0.0.1:PORT
// or saves it as .eml (for curl to send the same text).
//   smtp_send_bench send PORT ATTACHMENT
//   smtp_send_bench eml OUT.eml ATTACHMENT
#include "mail/message/NetMessage.h"
#include "smtp/NetSMTP.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Fill(TNetMessage& m, const std::string& attachment) {
    m.AddRawHeader("X-Unsent: 1");
    m.From.Name = "Bench Sender";
    m.From.Address = "sender@example.test";
    m.Recipients.Add().Address = "rcpt@example.test";
    m.Subject = "Benchmark";
    m.Organization = "http://www.quillet.example/";
    m.Body = {"A voice message.\r\n"};
    m.Parts.AddAttachment(attachment);
    m.ExtraHeaders.SetHeader("X-Mailer", "Quillet(http://www.quillet.example/)");
    m.Clock = [] { return time_t(1796613368); };
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s send PORT FILE | eml OUT FILE\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    try {
        TNetMessage m;
        Fill(m, argv[3]);
        if (mode == "eml") {
            m.WriteToFile(argv[2], false);
            return 0;
        }
        TNetSMTP smtp;
        smtp.Host = "127.0.0.1";
        smtp.Port = std::atoi(argv[2]);
        smtp.HeloName = "bench.test";
        smtp.MailAgent = "Quillet(http://www.quillet.example/)";
        smtp.ConnectAndGreet();
        smtp.SendMail(m);
        smtp.QuitAndClose();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
