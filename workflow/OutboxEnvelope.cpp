// Envelope text of a queued voice mail; see OutboxEnvelope.h.
#include "workflow/OutboxEnvelope.h"

#include "base/Translate.h"

#include <charconv>
#include <set>

namespace {

const char* const FirstLine = "Quillet-Outbox: 1";

// Control characters would break the line structure; a value keeps its
// other bytes (8-bit text as typed).
std::string Clean(const std::string& value) {
    std::string out = value;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return out;
}

bool ReadNumber(const std::string& text, int64_t min, int64_t max, int64_t& out) {
    if (text.empty() || text.size() > 19)
        return false;
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < min || value > max)
        return false;
    out = value;
    return true;
}

} // namespace

std::string OneLine(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size() && out.size() < 300; ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            // One separator for a CR LF pair; none at the very end, nor
            // before the ":host" that follows a server's reply.
            while (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n'))
                ++i;
            if (i + 1 < text.size() && !out.empty() && text[i + 1] != ':')
                out += " / ";
        } else {
            out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
        }
    }
    return out.substr(0, 300);
}

std::string FormatEnvelope(const TOutboxEnvelope& e) {
    std::string text = std::string(FirstLine) + "\n";
    auto line = [&text](const char* key, const std::string& value) {
        text += std::string(key) + ": " + Clean(value) + "\n";
    };
    line("Way", SendTypeText(e.Way));
    line("Sender", e.Sender);
    for (const std::string& r : e.Recipients)
        line("Recipient", r);
    line("To", e.To);
    line("Subject", e.Subject);
    line("Size", std::to_string(e.Size));
    line("Created", std::to_string(e.Created));
    line("Attempts", std::to_string(e.Attempts));
    line("Last-Try", std::to_string(e.LastTry));
    line("Next-Try", std::to_string(e.NextTry));
    line("Expires", std::to_string(e.Expires));
    line("Last-Reply", e.LastReply);
    return text;
}

std::optional<TOutboxEnvelope> ParseEnvelope(const std::string& text, std::string& problem) {
    auto fail = [&problem](const std::string& why) {
        problem = why;
        return std::nullopt;
    };
    if (text.size() > MaxEnvelopeBytes)
        return fail(
            Tr("OutboxEnvelope", "the envelope is larger than %1 bytes").Arg(MaxEnvelopeBytes));
    TOutboxEnvelope e;
    std::set<std::string> seen;
    bool first = true;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            return fail(Tr("OutboxEnvelope", "the envelope's last line is cut short"));
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (first) {
            if (line != FirstLine)
                return fail(Tr("OutboxEnvelope", "not a Quillet outbox envelope"));
            first = false;
            continue;
        }
        const size_t colon = line.find(": ");
        if (colon == std::string::npos || colon == 0)
            return fail(Tr("OutboxEnvelope", "a line without \"Key: value\""));
        const std::string key = line.substr(0, colon), value = line.substr(colon + 2);
        for (char c : value)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                return fail(Tr("OutboxEnvelope", "a control character in %1").Arg(key));
        if (key == "Recipient") {
            if (value.empty())
                return fail(Tr("OutboxEnvelope", "an empty Recipient"));
            if (e.Recipients.size() == MaxEnvelopeRecipients)
                return fail(
                    Tr("OutboxEnvelope", "more than %1 recipients").Arg(MaxEnvelopeRecipients));
            e.Recipients.push_back(value);
            continue;
        }
        if (!seen.insert(key).second)
            return fail(Tr("OutboxEnvelope", "%1 is given twice").Arg(key));
        constexpr int64_t Forever = int64_t(1) << 40; // far beyond any date or size
        int64_t number = 0;
        if (key == "Way") {
            if (value == "SMTP")
                e.Way = TSendType::Smtp;
            else if (value == "Direct")
                e.Way = TSendType::Direct;
            else
                return fail(Tr("OutboxEnvelope", "'%1' is no way of sending").Arg(value));
        } else if (key == "Sender") {
            e.Sender = value;
        } else if (key == "To") {
            e.To = value;
        } else if (key == "Subject") {
            e.Subject = value;
        } else if (key == "Last-Reply") {
            e.LastReply = value;
        } else if (key == "Size" || key == "Created" || key == "Last-Try" || key == "Next-Try" ||
                   key == "Expires" || key == "Attempts") {
            const bool attempts = key == "Attempts";
            if (!ReadNumber(value, 0, attempts ? 1000000 : Forever, number))
                return fail(Tr("OutboxEnvelope", "'%1' is not a valid %2").Arg(value, key));
            if (attempts)
                e.Attempts = static_cast<int32_t>(number);
            else
                (key == "Size"       ? e.Size
                 : key == "Created"  ? e.Created
                 : key == "Last-Try" ? e.LastTry
                 : key == "Next-Try" ? e.NextTry
                                     : e.Expires) = number;
        }
    }
    if (first)
        return fail(Tr("OutboxEnvelope", "the envelope is empty"));
    for (const char* key : {"Way", "Sender", "Created", "Next-Try", "Expires"})
        if (!seen.count(key))
            return fail(Tr("OutboxEnvelope", "%1 is missing").Arg(key));
    if (e.Recipients.empty())
        return fail(Tr("OutboxEnvelope", "no Recipient"));
    return e;
}
