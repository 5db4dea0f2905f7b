// The JSON answers of a token endpoint (RFC 6749 5.1 and 5.2) and of a
// device authorization endpoint (RFC 8628 3.2), read from the server's
// bytes. Remote input: every string is capped, texts meant for a message
// keep printable characters only, and numbers may come as JSON numbers or
// as digit strings, as some services send them.
#pragma once

#include <cstdint>
#include <string>

struct TTokenResponse {
    std::string AccessToken;
    std::string RefreshToken; // empty when the server sent none
    int64_t ExpiresIn = 0;    // seconds; 0 when not given
    std::string Error;        // "invalid_grant", "authorization_pending", ...
    std::string ErrorDescription;
};

struct TDeviceAuthorization {
    std::string DeviceCode, UserCode;
    std::string VerificationUri;         // "verification_uri" (or "verification_url")
    std::string VerificationUriComplete; // may be empty
    int64_t ExpiresIn = 0;
    int64_t Interval = 5; // seconds between polls (RFC 8628 3.2: 5 when not given)
};

// False when body is no JSON object. Fields of the wrong type are left empty.
bool ParseTokenResponse(const std::string& body, TTokenResponse& response);
bool ParseDeviceAuthorization(const std::string& body, TDeviceAuthorization& authorization);

// text with control and non-ASCII bytes replaced by "?", cut to max bytes:
// the server's words as a message may carry them.
std::string PrintableText(const std::string& text, size_t max = 200);
