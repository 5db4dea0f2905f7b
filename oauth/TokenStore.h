// Where the tokens of a sign-in are kept. The refresh token goes to the
// desktop keyring (platform/Keyring.h) and never to a file; without a
// keyring it lives in this process's memory only, for this run. Access
// tokens are kept in memory with their expiry, so one send after another
// does not ask the service each time. Thread-safe; the keyring calls wait
// at most 3 s.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// One sign-in: the service's token address, the client id and the user.
struct TTokenKey {
    std::string TokenUrl, ClientId, User;
};

enum class TTokenKept { Keyring, ThisRun };

// Keeps token as the refresh token of key, replacing an older one.
TTokenKept KeepRefreshToken(const TTokenKey& key, const std::string& token);
// This run's refresh token of key, else the keyring's; nullopt when none.
std::optional<std::string> FindRefreshToken(const TTokenKey& key);
// Forgets key's refresh and access tokens, here and in the keyring.
void ForgetSignIn(const TTokenKey& key);

// An access token that lives expiresIn seconds from now (0: unknown, then
// it is not kept).
void KeepAccessToken(const TTokenKey& key, const std::string& token, int64_t expiresIn);
// The kept access token when it has at least minLeftSeconds left.
std::optional<std::string> UsableAccessToken(const TTokenKey& key, int64_t minLeftSeconds);
