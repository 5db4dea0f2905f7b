// Loopback ports for tests: whether the well-known port 25 is free to
// listen on (root only), for the mail-host tests that need it, and a port
// nothing listens on, for refused connections.
#pragma once

bool CanListenOn25(const char* addr);
// A TCP port of 127.0.0.1 that was free a moment ago.
int ClosedPort();
// A TCP port free on both ::1 and 127.0.0.1 a moment ago, for a name that
// has an address of each family.
int DualStackPort();
