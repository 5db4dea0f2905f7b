// libFuzzer target for the answers of a sign-in server: any bytes as a
// token answer and as a device authorization must be read or refused,
// never crash, and leave only short printable text for messages.
#include "oauth/TokenResponse.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    TTokenResponse t;
    if (ParseTokenResponse(body, t))
        for (unsigned char c : t.Error + t.ErrorDescription)
            if (c < 0x20 || c >= 0x7F || t.Error.size() > 64)
                std::abort();
    TDeviceAuthorization d;
    if (ParseDeviceAuthorization(body, d) && (d.Interval < 0 || d.ExpiresIn < 0))
        std::abort();
    return 0;
}
