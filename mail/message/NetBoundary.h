// The multipart boundaries of a message (RFC 2046 section 5.1.1: a
// boundary must not occur in the content). The fixed strings are used
// unless a line of the message's text starts with one; that message gets
// the fixed string with a random suffix instead.
#pragma once

#include <string>
#include <vector>

class TNetMessageParts;

extern const char* const MixedBoundary;
extern const char* const RelatedBoundary;
extern const char* const AlternativeBoundary;

struct TNetBoundaries {
    std::string Mixed = MixedBoundary;
    std::string Related = RelatedBoundary;
    std::string Alternative = AlternativeBoundary;
};

// The boundaries for a message with this body and these parts: each fixed
// one unless "--" + it starts a line of the body or of a text part.
TNetBoundaries ChooseBoundaries(const std::vector<std::string>& body,
                                const TNetMessageParts& parts);
