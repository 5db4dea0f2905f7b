// The envelope of a queued voice mail: how it goes (way, sender, the
// recipients still waiting for it) and where it stands (attempts, last
// reply, next try, expiry), with what the Outbox window shows of it. Kept
// as "Key: value" lines beside the message text; the file is read back
// after crashes and by other processes, so the parser trusts nothing.
#pragma once

#include "workflow/SendSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TOutboxEnvelope {
    TSendType Way = TSendType::Smtp; // Smtp or Direct
    std::string Sender;              // MAIL FROM
    // Still waiting for the message; Direct groups them by domain again.
    std::vector<std::string> Recipients;
    std::string To, Subject; // as typed, for the Outbox window
    int64_t Size = 0;        // bytes of the message text
    // Unix seconds.
    int64_t Created = 0, LastTry = 0, NextTry = 0, Expires = 0;
    int32_t Attempts = 0;
    std::string LastReply; // one line

    bool operator==(const TOutboxEnvelope&) const = default;
};

// Caps of what a reader takes: past them the file is not ours.
constexpr size_t MaxEnvelopeBytes = 262144;
constexpr size_t MaxEnvelopeRecipients = 1000;

// The file text. Line breaks and other control characters inside values
// become blanks, so every value stays on its line.
std::string FormatEnvelope(const TOutboxEnvelope& envelope);

// The envelope in text, or nullopt with the reason in problem: not our
// first line, a key twice, a number out of range, a missing key, a way
// other than SMTP or Direct, no recipient, past the caps. Unknown keys are
// skipped (a later version may add some).
std::optional<TOutboxEnvelope> ParseEnvelope(const std::string& text, std::string& problem);

// One line of a server reply or error text: CR LF between lines becomes
// " / ", controls become blanks, at most 300 characters.
std::string OneLine(const std::string& text);
