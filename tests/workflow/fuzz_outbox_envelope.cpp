// libFuzzer target for the outbox envelope, the file read back after
// crashes and written by other processes: arbitrary text is parsed within
// the caps, and what parses is written and parsed again to the same value
// (so a mail's envelope survives any number of updates unchanged).
#include "workflow/OutboxEnvelope.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string problem;
    const std::optional<TOutboxEnvelope> e = ParseEnvelope(text, problem);
    if (!e) {
        if (problem.empty())
            abort();
        return 0;
    }
    if (e->Recipients.empty() || e->Recipients.size() > MaxEnvelopeRecipients)
        abort();
    const std::optional<TOutboxEnvelope> again = ParseEnvelope(FormatEnvelope(*e), problem);
    if (!again || !(*again == *e))
        abort();
    if (OneLine(text).size() > 300 || OneLine(text).find_first_of("\r\n") != std::string::npos)
        abort();
    return 0;
}
