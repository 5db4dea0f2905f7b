// The browser's request to the loopback redirect address (RFC 8252 7.3):
// the request line of an HTTP/1.x GET and the parameters of its query
// (RFC 6749 4.1.2). Remote input, even on loopback: any local program may
// connect, so the head is capped and everything is checked.
#pragma once

#include <string>

struct TRedirectRequest {
    std::string Path; // "/" for the redirect itself
    std::string Code, State, Error, ErrorDescription;
};

// Most bytes of a request head read before giving up on it.
constexpr size_t MaxRedirectHeadBytes = 8192;

// head: the bytes up to and including the empty line. False when it is no
// GET request line of HTTP/1.0 or 1.1.
bool ParseRedirectRequest(const std::string& head, TRedirectRequest& request);
