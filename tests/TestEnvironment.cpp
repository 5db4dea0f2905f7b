// Linked into every test binary: the environment the tests rely on, set
// before main() runs whether the binary is started by CTest or by hand.
#include <cstdlib>

namespace {

struct TTestEnvironment {
    TTestEnvironment() {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("QUILLET_SOURCE_DIR", QUILLET_TEST_SOURCE_DIR, 0);
        setenv("QUILLET_BINARY_DIR", QUILLET_TEST_BINARY_DIR, 0);
        // No test reaches the desktop's keyring; keyring tests start their own.
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
} TestEnvironment;

} // namespace
