// A private Secret Service for one test: a dbus-daemon of its own (a
// session bus that activates nothing), and on it gnome-keyring-daemon with
// a login keyring unlocked by a fixed password. HOME and the XDG
// directories lie in a temporary directory, so no real keyring is touched.
// Two other buses for the failure paths: one without any Secret Service,
// one whose Secret Service is activatable but never answers.
#pragma once

#include <string>
#include <sys/types.h>

class TKeyringGnomeKeyring {
public:
    enum TKind { Keyring, NoService, StalledService };
    explicit TKeyringGnomeKeyring(TKind kind = Keyring);
    ~TKeyringGnomeKeyring();
    TKeyringGnomeKeyring(const TKeyringGnomeKeyring&) = delete;
    TKeyringGnomeKeyring& operator=(const TKeyringGnomeKeyring&) = delete;

    // The bus address for DBUS_SESSION_BUS_ADDRESS.
    const std::string& Address() const { return FAddress; }
    // Why the bus or the service did not come up; "" when they did.
    const std::string& Failure() const { return FFailure; }
    // Locks the login collection as the desktop does after a while; reading
    // it then needs an unlock prompt. False when the service refused.
    bool LockLogin() const;

private:
    std::string FDir, FAddress, FFailure;
    pid_t FBusPid = -1, FKeyringPid = -1;
};
