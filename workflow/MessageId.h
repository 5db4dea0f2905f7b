// The Message-ID of a composed mail (RFC 5322 3.6.4): 128 random bits in
// hex, ".", the Unix time, "@", the domain of the sender's address (the
// host's fully qualified name when there is none).
#pragma once

#include <string>

// "<...>" for a sender address (may be empty).
std::string NewMessageId(const std::string& fromAddress);

// The host's canonical name from the system resolver (the plain host name
// when it has none).
std::string HostCanonicalName();
