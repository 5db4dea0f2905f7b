// libFuzzer target for the request that reaches the loopback redirect:
// any bytes as a request head must be read or refused, never crash.
#include "oauth/RedirectRequest.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > MaxRedirectHeadBytes)
        return 0;
    TRedirectRequest r;
    ParseRedirectRequest(std::string(reinterpret_cast<const char*>(data), size), r);
    return 0;
}
