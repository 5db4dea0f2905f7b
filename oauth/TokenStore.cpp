// Token keeping; see TokenStore.h.
#include "oauth/TokenStore.h"

#include "platform/Keyring.h"

#include <chrono>
#include <map>
#include <mutex>
#include <tuple>

namespace {

using TClock = std::chrono::steady_clock;
using TKeyTuple = std::tuple<std::string, std::string, std::string>;

struct TAccess {
    std::string Token;
    TClock::time_point Expires;
};

struct TMemory {
    std::mutex Lock;
    std::map<TKeyTuple, std::string> Refresh; // only those no keyring took
    std::map<TKeyTuple, TAccess> Access;
};

TMemory& Memory() {
    static TMemory memory;
    return memory;
}

TKeyTuple Tuple(const TTokenKey& key) {
    return {key.TokenUrl, key.ClientId, key.User};
}

} // namespace

TTokenKept KeepRefreshToken(const TTokenKey& key, const std::string& token) {
    const bool stored = TKeyring().StoreRefreshToken(key.TokenUrl, key.ClientId, key.User, token);
    std::lock_guard<std::mutex> lock(Memory().Lock);
    if (stored) {
        Memory().Refresh.erase(Tuple(key));
        return TTokenKept::Keyring;
    }
    Memory().Refresh[Tuple(key)] = token;
    return TTokenKept::ThisRun;
}

std::optional<std::string> FindRefreshToken(const TTokenKey& key) {
    {
        std::lock_guard<std::mutex> lock(Memory().Lock);
        auto it = Memory().Refresh.find(Tuple(key));
        if (it != Memory().Refresh.end())
            return it->second;
    }
    return TKeyring().ReadRefreshToken(key.TokenUrl, key.ClientId, key.User);
}

void ForgetSignIn(const TTokenKey& key) {
    {
        std::lock_guard<std::mutex> lock(Memory().Lock);
        Memory().Refresh.erase(Tuple(key));
        Memory().Access.erase(Tuple(key));
    }
    TKeyring().RemoveRefreshToken(key.TokenUrl, key.ClientId, key.User);
}

void KeepAccessToken(const TTokenKey& key, const std::string& token, int64_t expiresIn) {
    std::lock_guard<std::mutex> lock(Memory().Lock);
    if (expiresIn <= 0) {
        Memory().Access.erase(Tuple(key));
        return;
    }
    Memory().Access[Tuple(key)] = {token, TClock::now() + std::chrono::seconds(expiresIn)};
}

std::optional<std::string> UsableAccessToken(const TTokenKey& key, int64_t minLeftSeconds) {
    std::lock_guard<std::mutex> lock(Memory().Lock);
    auto it = Memory().Access.find(Tuple(key));
    if (it == Memory().Access.end() ||
        it->second.Expires - TClock::now() < std::chrono::seconds(minLeftSeconds))
        return std::nullopt;
    return it->second.Token;
}
