// libFuzzer target: arbitrary bytes through the attachment's base64 line
// encoder, decoded back by the independent decoder of FuzzDecoders.h. The
// decoded bytes equal the input; every line is 76 characters of the base64
// alphabet and CR LF, the last one 1 to 76 characters; nothing follows it.
#include "base/Stream.h"
#include "mail/message/NetEncoders.h"
#include "tests/mail/message/FuzzDecoders.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TMemoryStream source;
    source.Write(data, size);
    // Left at its end: the encoder must read the whole source from its start.
    source.Seek(0, TSeekOrigin::End);
    TMemoryStream dest;
    TNetMessageEncoderMIME().Encode(source, dest);
    const std::string out(dest.Data.begin(), dest.Data.end());
    std::string decoded;
    size_t i = 0;
    while (i < out.size()) {
        const size_t end = out.find("\r\n", i);
        if (end == std::string::npos)
            std::abort();
        const size_t length = end - i;
        const bool last = end + 2 == out.size();
        if (length == 0 || length > 76 || (!last && length != 76))
            std::abort();
        if (!fuzzdec::DecodeBase64(std::string_view(out).substr(i, length), decoded))
            std::abort();
        i = end + 2;
    }
    if (decoded != std::string(reinterpret_cast<const char*>(data), size))
        std::abort();
    return 0;
}
