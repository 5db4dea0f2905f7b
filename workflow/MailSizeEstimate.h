// How large the mail of a take will be, known before anything is encoded:
// the bit rate lame chooses by default for the take's format (its manual:
// 128, 64 and 32 kbit/s stereo for MPEG-1, -2 and -2.5 sample rates, half
// that for mono), the base64 form of the attachment with its line breaks,
// and the headers and text around it. Used for "about 180 KB by mail".
#pragma once

#include <cstdint>
#include <string>

// lame's default bit rate in kbit/s for a take of rate Hz and channels.
int EncoderBitrateKbps(uint32_t rate, int channels);

// Octets of the mail carrying seconds of such a take and textBytes of text.
int64_t EstimateMailBytes(double seconds, uint32_t rate, int channels, int64_t textBytes = 0);

// "180 KB" or "2.4 MB" (1 KB = 1024 bytes).
std::string SizeText(int64_t bytes);
