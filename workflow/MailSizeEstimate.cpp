// The mail size estimate; see MailSizeEstimate.h.
#include "workflow/MailSizeEstimate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
// The header block, the MIME part headers and boundaries: measured on
// composed mails, rounded up.
constexpr int64_t EnvelopeBytes = 1600;
} // namespace

int EncoderBitrateKbps(uint32_t rate, int channels) {
    const int stereo = rate >= 32000 ? 128 : rate >= 16000 ? 64 : 32;
    return channels >= 2 ? stereo : stereo / 2;
}

int64_t EstimateMailBytes(double seconds, uint32_t rate, int channels, int64_t textBytes) {
    if (seconds <= 0)
        seconds = 0;
    // Constant bit rate, plus the encoder's information frame.
    const double mp3 = EncoderBitrateKbps(rate, channels) * 125.0 * seconds + 500;
    // Base64: 4 characters for 3 bytes, lines of 76 with CR LF.
    const double base64 = std::ceil(mp3 / 3) * 4;
    const double lines = std::ceil(base64 / 76) * 2;
    return static_cast<int64_t>(base64 + lines) + EnvelopeBytes + textBytes;
}

std::string SizeText(int64_t bytes) {
    char text[32];
    if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%lld KB",
                      static_cast<long long>(std::max<int64_t>(1, (bytes + 512) / 1024)));
    else
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}
