// Counting a message's octets and the size refusal; see NetMessageSize.h.
#include "smtp/NetMessageSize.h"

#include "base/NetLineOutput.h"
#include "base/Stream.h"
#include "base/Translate.h"
#include "mail/message/NetMessageWriter.h"
#include "net/NetAntiFreeze.h"
#include "smtp/NetMessageClient.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

class TCountingOutput : public TNetLineOutput {
public:
    int64_t Bytes = 0;
    void WriteLine(const std::string& text) override { Add(text.size() + 2); }
    void WriteText(const std::string& text) override { Add(text.size()); }
    void WriteBytes(const void*, size_t count, bool) override { Add(count); }

private:
    void Add(size_t n) {
        Bytes += static_cast<int64_t>(n);
        if ((Bytes >> 20) != LastMb) {
            LastMb = Bytes >> 20;
            TNetAntiFreezeBase::DoProcess(false);
        }
    }
    int64_t LastMb = 0;
};

std::string Megabytes(int64_t bytes, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(bytes) / 1048576.0);
    std::string s = text;
    // "10.0" reads as "10".
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.')
            s.pop_back();
    }
    return s;
}

} // namespace

int64_t MessageOctets(TNetMessage& message) {
    TCountingOutput count;
    TNetMessageWriter(count).WriteMessage(message, false);
    return count.Bytes;
}

int64_t StoredTextOctets(TStream& text) {
    const int64_t start = text.Position();
    TCountingOutput count;
    TNetDataLineOutput guard(count, true);
    std::vector<char> buffer(65536);
    while (size_t n = text.Read(buffer.data(), buffer.size()))
        guard.WriteBytes(buffer.data(), n, false);
    guard.Finish();
    text.SetPosition(start);
    return count.Bytes;
}

std::string MegabytesText(int64_t bytes, int64_t other) {
    int decimals = 1;
    while (decimals < 6 && bytes != other &&
           Megabytes(bytes, decimals) == Megabytes(other, decimals))
        ++decimals;
    return Megabytes(bytes, decimals);
}

ENetMessageTooLarge::ENetMessageTooLarge(int64_t size, const std::string& host, int64_t limit)
    : ENetException(Tr("NetSMTP", "The mail (%1 MB) is larger than %2 accepts (%3 MB).")
                        .Arg(MegabytesText(size, limit), host, MegabytesText(limit, size))) {}
