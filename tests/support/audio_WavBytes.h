// A small recording for tests that need a WAV file: 16-bit mono PCM of a
// quiet square wave, with a complete 44-byte header.
#pragma once

#include <string>

std::string WavBytes(int seconds, int rate = 11025);
