// libFuzzer target: arbitrary server bytes into ReadReply through an
// in-memory transport, in chunks whose size the input picks. Every reply
// read must stay within the caps; the only way out is a reply or an
// ENetException (closed, line too long, reply too long).
#include "net/NetDeliveryException.h"
#include "net/NetTCPConnection.h"
#include "tests/net/tcp_MemoryTransport.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    TNetTCPConnection c;
    TMemoryTransport& t = AttachTransport(c);
    t.Chunk = 1 + data[0] % 64;
    t.Input.assign(reinterpret_cast<const char*>(data + 2), size - 2);
    c.MaxLineLength = (data[1] & 1) ? 16384 : 1 + data[1] % 200; // small limits reach the edge
    c.MaxLineAction = (data[1] & 2) ? maSplit : maException;
    for (int replies = 0; replies < 100000; ++replies) {
        try {
            c.ReadReply({});
        } catch (const ENetException&) {
            return 0;
        }
        const TNetRFCReply& r = c.LastReply;
        if (r.Text.empty() || r.Text.size() > size_t(TNetTCPConnection::MaxReplyLines) ||
            r.NumericCode < 0 || r.NumericCode > 9999 || r.TextCode.size() > 4)
            std::abort();
        for (const std::string& line : r.Text)
            if (line.size() > 16384 || line.find('\n') != std::string::npos)
                std::abort();
    }
    return 0;
}
