// The size of a message as the writer sends it, counted by writing it to
// nowhere: the octets of SMTP's SIZE parameter (RFC 1870: every line with
// its CR LF, not the final "."), and the total of an upload's progress;
// likewise for stored message text as the data guard sends it. The size
// refusal of a server that announced a limit, and its text.
#pragma once

#include "base/NetException.h"

#include <cstdint>
#include <string>

class TNetMessage;
class TStream;

// Octets of message written for transmission. A large attachment gives
// the anti-freeze its chance once per MB. GUI thread.
int64_t MessageOctets(TNetMessage& message);

// Octets of stored message text (an .eml, not dot-stuffed) as
// TNetMessageClient::WriteStoredText sends it: every line end CR LF, every
// leading "." doubled, an unfinished last line ended. Reads text from its
// position to the end, then puts the position back.
int64_t StoredTextOctets(TStream& text);

// "The mail (<n> MB) is larger than <host> accepts (<m> MB)."
class ENetMessageTooLarge : public ENetException {
public:
    ENetMessageTooLarge(int64_t size, const std::string& host, int64_t limit);
};

// Bytes as MB (1048576 bytes) with one decimal, or more when needed so
// that two different sizes never read the same.
std::string MegabytesText(int64_t bytes, int64_t other);
