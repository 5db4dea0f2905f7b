// The bearer-token SASL messages of an OAuth 2.0 login: OAUTHBEARER's
// initial response (RFC 7628 3.1), XOAUTH2's (the form the large mail
// providers document), and the JSON error a server sends as its challenge
// when it refuses a token (RFC 7628 3.2.2). Only builds and reads text; the
// dialogue is TNetSMTP's.
#pragma once

#include <string>

// "n,a=<user>,^Ahost=<host>^Aport=<port>^Aauth=Bearer <token>^A^A", with
// "," and "=" in the user escaped as "=2C" and "=3D".
std::string OAuthBearerInitialResponse(const std::string& user, const std::string& host, int port,
                                       const std::string& token);
// "user=<user>^Aauth=Bearer <token>^A^A".
std::string XOAuth2InitialResponse(const std::string& user, const std::string& token);

// What a refusal challenge said. Status is cut to 64 printable characters
// (the server's text goes into a message); empty when the challenge was no
// JSON object with a string "status".
struct TBearerChallenge {
    std::string Status;
    // The token is worth renewing: "invalid_token" (RFC 6750 3.1), or "401"
    // as XOAUTH2 servers put it.
    bool TokenExpired() const { return Status == "invalid_token" || Status == "401"; }
};

// Reads the decoded challenge bytes.
TBearerChallenge ParseBearerChallenge(const std::string& json);
