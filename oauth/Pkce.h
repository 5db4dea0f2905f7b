// Proof Key for Code Exchange (RFC 7636) and the state of a sign-in: a
// fresh random code verifier, its S256 challenge, and a random state that
// ties the browser's redirect to this sign-in.
#pragma once

#include <string>

// 43 characters of base64url from 32 random bytes (RFC 7636 4.1).
std::string NewCodeVerifier();
// BASE64URL(SHA256(verifier)) without "=" (RFC 7636 4.2).
std::string CodeChallenge(const std::string& verifier);
// 22 characters of base64url from 16 random bytes.
std::string NewState();
