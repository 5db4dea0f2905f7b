// libFuzzer target: arbitrary subjects and display names through the
// message's header building and folding. A value with a line break of its
// own may be refused (ENetMessageException with a message); otherwise the
// header block has no line over 998 octets, no empty line and no CR or LF
// inside a line, every continuation line starts with a blank, and the
// unfolded Subject, From and To decode (encoded words, quoted strings) to
// the input (when it holds no line break; blanks at the end of the subject
// may be dropped).
#include "base/NetException.h"
#include "mail/message/NetMessage.h"
#include "tests/mail/message/FuzzDecoders.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// The unfolded value of field (RFC 5322 unfolding: the CR LF goes, the
// blank after it stays), or abort when it is missing.
std::string Unfolded(const TNetHeaderList& h, const std::string& field) {
    const int i = h.FindHeader(field);
    if (i < 0 || h[i].compare(0, field.size() + 1, field + ":") != 0)
        std::abort();
    std::string v = h[i].substr(field.size() + 1);
    for (int j = i + 1; j < h.Count() && (h[j][0] == ' ' || h[j][0] == '\t'); ++j)
        v += h[j];
    // The one blank after the colon.
    if (v.empty() || v[0] != ' ')
        std::abort();
    return v.substr(1);
}

// A display name as a reader gets it back: a quoted string unquoted, a
// phrase of encoded words decoded.
std::string DecodedName(const std::string& value, const std::string& address) {
    const std::string tail = " <" + address + ">";
    if (value.size() < tail.size() || value.compare(value.size() - tail.size(), tail.size(), tail))
        std::abort();
    const std::string phrase = value.substr(0, value.size() - tail.size());
    if (phrase.size() >= 2 && phrase.front() == '"' && phrase.back() == '"') {
        std::string name;
        for (size_t i = 1; i + 1 < phrase.size(); ++i) {
            if (phrase[i] == '\\')
                ++i;
            name += phrase[i];
        }
        return name;
    }
    return fuzzdec::DecodeHeaderText(phrase);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    const size_t split = text.size() * data[1] / 255;
    const std::string subject = text.substr(0, split), name = text.substr(split);
    const uint8_t mode = data[0];

    TNetMessage m;
    m.OnInitializeISO = [mode](TNetMessage&, TTransfer& transfer, char& letter,
                               std::string& charset) {
        transfer = TTransfer::bit8;
        letter = mode & 1 ? 'Q' : 'B';
        charset = mode & 2 ? "UTF-8" : "ISO-8859-1";
    };
    m.Clock = [] { return time_t(1796613368); };
    m.Subject = subject;
    m.From.Address = "from@example.test";
    m.From.Name = name;
    TNetEMailAddressItem& to = m.Recipients.Add();
    to.Address = "to@example.test";
    to.Name = name;
    m.Body = {"text"};

    TNetHeaderList h;
    try {
        h = m.BuildHeader();
    } catch (const ENetMessageException& e) {
        if (text.find_first_of("\r\n") == std::string::npos || e.Message.empty())
            std::abort();
        return 0;
    }
    for (int i = 0; i < h.Count(); ++i) {
        const std::string& line = h[i];
        if (line.empty() || line.size() > 998 || line.find_first_of("\r\n") != std::string::npos)
            std::abort();
        const bool continuation = line[0] == ' ' || line[0] == '\t';
        if (i == 0 ? continuation : !continuation && line.find(':') == std::string::npos)
            std::abort();
        if (continuation && line.find_first_not_of(" \t") == std::string::npos)
            std::abort(); // a blank line ends the header block for many readers
    }
    // A value holding a fold of its own ("\r\n" and a blank) is let through;
    // unfolding rightly takes its CR LF away.
    if (text.find_first_of("\r\n") != std::string::npos)
        return 0;
    // Blanks that end the subject may be dropped with the line's end.
    const std::string kept = subject.substr(0, subject.find_last_not_of(" \t") + 1);
    if (!kept.empty()) {
        const std::string decoded = fuzzdec::DecodeHeaderText(Unfolded(h, "Subject"));
        if (decoded != subject && decoded != kept)
            std::abort();
    }
    if (!name.empty()) {
        if (DecodedName(Unfolded(h, "From"), m.From.Address) != name)
            std::abort();
        if (DecodedName(Unfolded(h, "To"), to.Address) != name)
            std::abort();
    }
    return 0;
}
