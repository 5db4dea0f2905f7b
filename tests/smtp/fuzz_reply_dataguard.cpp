// libFuzzer target: arbitrary message text through the DATA guard of the
// message client, in pieces the input chooses. Whatever goes in, the bytes
// on the wire end every line in CR LF and hold no line that is exactly
// ".", so the data can only end where the client sends "." itself. Stored
// text (every leading dot doubled) reaches the server as it was written,
// its line ends made CR LF, and its counted size (SMTP SIZE) is the
// number of bytes that went.
#include "base/Stream.h"
#include "smtp/NetMessageClient.h"
#include "smtp/NetMessageSize.h"
#include "tests/net/tcp_MemoryTransport.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    TNetTCPConnection c;
    TMemoryTransport& t = AttachTransport(c);
    const bool stored = data[0] & 0x80;
    TNetDataLineOutput out(c, stored);
    const size_t piece = 1 + data[0] % 17;
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string sent; // what went in, line ends as given
    for (size_t i = 0; i < text.size(); i += piece) {
        std::string p = text.substr(i, piece);
        switch (p.size() % 3) {
        case 0:
            out.WriteText(p);
            sent += p;
            break;
        case 1:
            out.WriteBytes(p.data(), p.size(), false);
            sent += p;
            break;
        default:
            try {
                out.WriteLine(p);
            } catch (...) {
                std::abort(); // the guard takes line breaks in any text
            }
            sent += p + "\r\n";
        }
    }
    out.Finish();
    const std::string& w = t.Output;
    if (!w.empty() && (w.size() < 2 || w.compare(w.size() - 2, 2, "\r\n") != 0))
        std::abort();
    for (size_t i = 0; i < w.size(); ++i) {
        if (w[i] == '\r' && (i + 1 >= w.size() || w[i + 1] != '\n'))
            std::abort();
        if (w[i] == '\n' && (i == 0 || w[i - 1] != '\r'))
            std::abort();
    }
    if (w.rfind(".\r\n", 0) == 0 || w.find("\r\n.\r\n") != std::string::npos)
        std::abort();
    if (stored) {
        // The server takes one leading dot off every line (RFC 5321 4.5.2).
        std::string seen, expected;
        for (size_t start = 0; start < w.size();) {
            const size_t end = w.find("\r\n", start) + 2;
            seen += w.substr(start + (w[start] == '.' ? 1 : 0), end - start - (w[start] == '.'));
            start = end;
        }
        for (size_t i = 0; i < sent.size(); ++i) {
            if (sent[i] == '\r' || sent[i] == '\n') {
                expected += "\r\n";
                if (sent[i] == '\r' && i + 1 < sent.size() && sent[i + 1] == '\n')
                    ++i;
            } else {
                expected += sent[i];
            }
        }
        if (!expected.empty() &&
            (expected.size() < 2 || expected.compare(expected.size() - 2, 2, "\r\n") != 0))
            expected += "\r\n";
        if (seen != expected)
            std::abort();
        // Counted from where the stream stands, which it is left at.
        TMemoryStream stream;
        stream.WriteString("x" + sent);
        stream.SetPosition(1);
        if (StoredTextOctets(stream) != static_cast<int64_t>(w.size()) || stream.Position() != 1)
            std::abort();
    }
    return 0;
}
