// Whether a test may listen on port 25 of a loopback address (root only),
// for the mail-host tests that need the well-known port.
#pragma once

bool CanListenOn25(const char* addr);
