// The SMTP password in the desktop keyring: one item per server and user
// under the schema "io.example.Quillet.Smtp", through the Secret Service
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

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
};
