// libFuzzer target for a server's refusal of a sign-in token: any bytes as
// the JSON challenge must be read or ignored, and the status that goes into
// the message must be short and printable.
#include "smtp/SaslBearer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TBearerChallenge c =
        ParseBearerChallenge(std::string(reinterpret_cast<const char*>(data), size));
    if (c.Status.size() > 64)
        std::abort();
    for (unsigned char ch : c.Status)
        if (ch < 0x20 || ch >= 0x7F)
            std::abort();
    return 0;
}
