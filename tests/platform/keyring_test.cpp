// The keyring against a real Secret Service (gnome-keyring on a private
// bus): what is stored is read back for the same server and user only,
// overwrites and removals hold, a locked collection reads as unavailable
// without a prompt, and without a service every call fails at once.
#include "platform/Keyring.h"
#include "tests/support/keyring_GnomeKeyring.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace {

// DBUS_SESSION_BUS_ADDRESS for the life of the object (nullptr: unset).
class TBusAddress {
public:
    explicit TBusAddress(const char* address) {
        if (address)
            setenv("DBUS_SESSION_BUS_ADDRESS", address, 1);
        else
            unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    ~TBusAddress() { unsetenv("DBUS_SESSION_BUS_ADDRESS"); }
};

// One step of a case: 'S' store (expects success), 'D' remove, 'L' lock the
// login collection, 'R' read (Value nullptr: nothing may be read).
struct TStep {
    char Op;
    const char* Server;
    const char* User;
    const char* Value;
};

struct TCase {
    const char* Why;
    std::vector<TStep> Steps;
};

const TCase Cases[] = {
    {"store then read",
     {{'S', "mail.example.org", "ann", "pw1"}, {'R', "mail.example.org", "ann", "pw1"}}},
    {"overwrite keeps only the last",
     {{'S', "mail.example.org", "ann", "pw1"},
      {'S', "mail.example.org", "ann", "pw2"},
      {'R', "mail.example.org", "ann", "pw2"}}},
    {"other users and servers are not mixed up",
     {{'S', "mail.example.org", "ann", "a"},
      {'S', "mail.example.org", "bob", "b"},
      {'S', "smtp.example.net", "ann", "c"},
      {'R', "mail.example.org", "ann", "a"},
      {'R', "mail.example.org", "bob", "b"},
      {'R', "smtp.example.net", "ann", "c"},
      {'R', "smtp.example.net", "bob", nullptr},
      {'R', "mail.example.org", "", nullptr}}},
    {"removal leaves the others",
     {{'S', "mail.example.org", "ann", "a"},
      {'S', "mail.example.org", "bob", "b"},
      {'D', "mail.example.org", "ann", nullptr},
      {'D', "mail.example.org", "ann", nullptr},
      {'R', "mail.example.org", "ann", nullptr},
      {'R', "mail.example.org", "bob", "b"}}},
    {"any bytes, empty user",
     {{'S', "10.0.0.1", "", "p\xc3\xa4ss w=rd;\"x\""},
      {'R', "10.0.0.1", "", "p\xc3\xa4ss w=rd;\"x\""}}},
    {"a locked collection is not available: no prompt, nothing read or stored",
     {{'S', "mail.example.org", "ann", "pw1"},
      {'L', "", "", nullptr},
      {'R', "mail.example.org", "ann", nullptr}}},
};

} // namespace

TEST(KeyringTest, RealSecretService) {
    for (const TCase& c : Cases) {
        SCOPED_TRACE(c.Why);
        TKeyringGnomeKeyring fresh; // every case starts from an empty keyring
        if (!fresh.Failure().empty())
            GTEST_SKIP() << "no Secret Service can run here: " << fresh.Failure();
        TBusAddress own(fresh.Address().c_str());
        bool locked = false;
        for (const TStep& s : c.Steps) {
            SCOPED_TRACE(std::string(1, s.Op) + " " + s.Server + " " + s.User);
            TKeyring keyring; // a new connection each time, as the program makes them
            auto start = std::chrono::steady_clock::now();
            switch (s.Op) {
            case 'S':
                EXPECT_TRUE(keyring.StorePassword(s.Server, s.User, s.Value));
                break;
            case 'D':
                EXPECT_TRUE(keyring.RemovePassword(s.Server, s.User));
                break;
            case 'L':
                ASSERT_TRUE(fresh.LockLogin());
                locked = true;
                break;
            case 'R':
                EXPECT_EQ(keyring.ReadPassword(s.Server, s.User),
                          s.Value ? std::optional<std::string>(s.Value) : std::nullopt);
                if (locked) {
                    EXPECT_FALSE(keyring.StorePassword(s.Server, s.User, "new"));
                }
                break;
            }
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        }
    }
}

TEST(KeyringTest, WithoutAServiceEveryCallFailsAtOnce) {
    TKeyringGnomeKeyring emptyBus(TKeyringGnomeKeyring::NoService);
    TKeyringGnomeKeyring stalledBus(TKeyringGnomeKeyring::StalledService);
    using std::chrono::milliseconds;
    struct {
        const char* Why;
        const char* Address;
        int TimeoutMs;
        milliseconds FirstBelow; // the first call: at once, or ends with the limit
    } cases[] = {
        {"no session bus", nullptr, 3000, milliseconds(1500)},
        {"an address pointing nowhere", "unix:path=/nonexistent/quillet-bus", 3000,
         milliseconds(1500)},
        {"a bus without a Secret Service", emptyBus.Address().c_str(), 3000, milliseconds(1500)},
        {"a Secret Service that never answers: the time limit", stalledBus.Address().c_str(), 800,
         milliseconds(4000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Why);
        TBusAddress bus(c.Address);
        auto start = std::chrono::steady_clock::now();
        TKeyring keyring(c.TimeoutMs);
        EXPECT_FALSE(keyring.Available());
        EXPECT_LT(std::chrono::steady_clock::now() - start, c.FirstBelow);
        start = std::chrono::steady_clock::now();
        EXPECT_EQ(keyring.ReadPassword("mail.example.org", "ann"), std::nullopt);
        EXPECT_FALSE(keyring.StorePassword("mail.example.org", "ann", "pw"));
        EXPECT_FALSE(keyring.RemovePassword("mail.example.org", "ann"));
        EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(500))
            << "the failure is remembered, not waited for again";
    }
}
