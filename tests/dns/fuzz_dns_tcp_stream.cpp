// libFuzzer target for the TCP framing of DNS replies: any bytes, fed in
// chunks of any size, give at most one message of exactly the announced
// length, and the reader never takes more than it was given.
#include "dns/NetDNSTCP.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the chunk size, as a stream splits arbitrarily.
    const size_t chunk = 1 + data[0] % 16;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
    TDnsStreamReader reader;
    size_t used = 0;
    for (size_t at = 0; at < stream.size(); at += chunk)
        used += reader.Feed(stream.substr(at, chunk));
    if (used > stream.size() || reader.Received() != used || reader.Received() > reader.Expected())
        std::abort();
    if (reader.Complete() && (reader.Message().size() + 2 != reader.Expected() ||
                              reader.Message() != stream.substr(2, reader.Message().size())))
        std::abort();
    if (!reader.Complete() && used != stream.size())
        std::abort();
    return 0;
}
