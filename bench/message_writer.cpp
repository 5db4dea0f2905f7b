// Writes one voice mail with the given attachment to an .eml file, as Save
// As does, and prints the wall time of WriteToFile in milliseconds.
// Usage: message_writer_bench ATTACHMENT OUTPUT.eml
#include "mail/message/NetMessage.h"

#include <chrono>
#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ATTACHMENT OUTPUT.eml\n", argv[0]);
        return 2;
    }
    try {
        TNetMessage msg;
        msg.Organization = "http://www.quillet.example/";
        msg.From.Name = "Bench Mark";
        msg.From.Address = "bench@quillet.example";
        msg.AddRawHeader("X-Unsent: 1");
        msg.Body.push_back("A voice message.\r\n");
        msg.Recipients.AssignText("support@quillet.example");
        msg.Subject = "This audio message brought to you by Quillet";
        msg.Parts.AddAttachment(argv[1]);
        const auto start = std::chrono::steady_clock::now();
        msg.WriteToFile(argv[2], false);
        const auto end = std::chrono::steady_clock::now();
        std::printf("%.1f\n", std::chrono::duration<double, std::milli>(end - start).count());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
