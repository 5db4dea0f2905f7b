// The filling side of the outbox benchmark: queues COUNT copies of one .eml
// (each with a header line of its own number, so every mail differs) for
// one recipient through the outbox's own Add, due now, and writes the same
// texts into COPIES for the reference sender.
//   outbox_fill_bench OUTBOX COUNT EML COPIES
#include "workflow/Outbox.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s OUTBOX COUNT EML COPIES\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[3], std::ios::binary);
    std::stringstream eml;
    eml << in.rdbuf();
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", argv[3]);
        return 2;
    }
    TOutboxEnvelope e;
    e.Sender = "sender@example.test";
    e.Recipients = {"rcpt@example.test"};
    e.To = "rcpt@example.test";
    e.Subject = "Benchmark";
    e.Created = e.LastTry = e.NextTry = std::time(nullptr);
    e.Attempts = 1;
    e.Expires = e.Created + 86400;
    try {
        const TOutbox outbox(argv[1]);
        for (int n = 0, count = std::atoi(argv[2]); n < count; ++n) {
            const std::string text =
                "X-Bench-Number: " + std::to_string(100000 + n) + "\r\n" + eml.str();
            outbox.Add(text, e);
            std::ofstream(std::string(argv[4]) + "/" + std::to_string(100000 + n) + ".eml",
                          std::ios::binary)
                << text;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
