// The SMTP password in the desktop keyring: one item per server and user
// under the schema "io.example.Quillet.Smtp"; and the OAuth 2.0 refresh
// token: one item per token address, client id and user under
// "io.example.Quillet.OAuth"; through the Secret Service
// API (libsecret) on the session bus named by DBUS_SESSION_BUS_ADDRESS.
// Every call fails soft and is bounded in time: no session bus, no Secret
// Service on it, a service that does not answer in time, or a locked
// collection (unlocking would prompt) all read as "not available". Nothing
// here ever prompts the user.
#pragma once

#include <memory>
#include <optional>
#include <string>

class TKeyring {
public:
    // Connects to the Secret Service. Meant to be short-lived (one object
    // for one read or one write): the connection and every call of this
    // object together take at most timeoutMs; a call past it fails.
    explicit TKeyring(int timeoutMs = 3000);
    ~TKeyring();
    TKeyring(const TKeyring&) = delete;
    TKeyring& operator=(const TKeyring&) = delete;

    // A Secret Service answered and a session with it is open.
    bool Available() const;
    // The stored password; nullopt when there is none, when its collection
    // is locked, or when the keyring is not available.
    std::optional<std::string> ReadPassword(const std::string& server, const std::string& user);
    // Stores or replaces the password in the default collection; false
    // when it was not stored (not available, no default collection, locked).
    bool StorePassword(const std::string& server, const std::string& user,
                       const std::string& password);
    // Removes the password; true when the keyring no longer holds one for
    // this server and user (also when it held none), false when not available.
    bool RemovePassword(const std::string& server, const std::string& user);

    // The same for a refresh token of the sign-in at tokenUrl for client
    // and user.
    std::optional<std::string> ReadRefreshToken(const std::string& tokenUrl,
                                                const std::string& client, const std::string& user);
    bool StoreRefreshToken(const std::string& tokenUrl, const std::string& client,
                           const std::string& user, const std::string& token);
    bool RemoveRefreshToken(const std::string& tokenUrl, const std::string& client,
                            const std::string& user);

    // One entry: its schema and attributes (defined in Keyring.cpp).
    struct TItem;

private:
    std::optional<std::string> Read(const TItem& item);
    bool Store(const TItem& item, const std::string& label, const std::string& secret);
    bool Remove(const TItem& item);
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
};
