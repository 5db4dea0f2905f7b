// What a received mail carries: the decoded bytes of its "Quillet.mp3"
// attachment, and the sound `lame --decode` gets back from MP3 bytes.
#pragma once

#include <string>

std::string AttachmentBytes(const std::string& message);
// The WAV file lame decodes mp3 into ("" when it cannot).
std::string DecodedWav(const std::string& mp3);
// Seconds of sound in DecodedWav(mp3); -1 when there is none.
double DecodedSeconds(const std::string& mp3);
