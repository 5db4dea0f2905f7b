// See mail_Attachment.h. The WAV lame writes is read here by its chunks,
// so the helper needs no code under test.
#include "tests/support/mail_Attachment.h"

#include "platform/Process.h"
#include "tests/support/TempDir.h"

#include <QByteArray>
#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

uint32_t Le32(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(s[at + i]);
    return v;
}

// Seconds of the data chunk of a RIFF WAVE file, by the fmt chunk's byte rate.
double WavSeconds(const std::string& wav) {
    uint32_t byteRate = 0;
    for (size_t at = 12; at + 8 <= wav.size();) {
        const std::string id = wav.substr(at, 4);
        const uint32_t size = Le32(wav, at + 4);
        if (id == "fmt " && at + 20 <= wav.size())
            byteRate = Le32(wav, at + 16);
        if (id == "data" && byteRate > 0)
            return double(std::min<size_t>(size, wav.size() - at - 8)) / byteRate;
        at += 8 + size + (size & 1);
    }
    return -1;
}

} // namespace

std::string AttachmentBytes(const std::string& message) {
    size_t part = message.find("filename=\"Quillet.mp3\"");
    size_t start = part == std::string::npos ? part : message.find("\r\n\r\n", part);
    size_t end = start == std::string::npos ? start : message.find("\r\n\r\n", start + 4);
    if (end == std::string::npos)
        return "";
    QByteArray b64 = QByteArray::fromStdString(message.substr(start + 4, end - start - 4));
    return QByteArray::fromBase64(b64.replace("\r\n", "")).toStdString();
}

std::string DecodedWav(const std::string& mp3) {
    TTempDir dir;
    dir.Write("got.mp3", mp3);
    if (RunAndWait("lame --quiet --decode got.mp3 got.wav", dir.Path()) != 0)
        return "";
    return dir.Read("got.wav");
}

double DecodedSeconds(const std::string& mp3) {
    return WavSeconds(DecodedWav(mp3));
}
