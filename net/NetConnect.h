// The connect with a time-out: a non-blocking connect waited for on the
// calling thread in slices of at most 125 ms (or the anti-freeze's
// IdleTimeOut when smaller), the anti-freeze serviced between slices.
// A non-blocking connect is used because closing a socket does not
// interrupt a blocking connect on Linux, so a connect thread could not be
// stopped at its time-out.
#pragma once

#include <cstdint>

class TNetSocketHandle;

constexpr int32_t ConnectSliceMs = 125;
constexpr int32_t ConnectDefaultTimeoutMs = 120000;

// Connects handle to its PeerIP:PeerPort within timeout ms (TimeoutInfinite:
// no limit). A refusal or other failure raises ENetConnectException with
// the socket error's message; no answer in time closes the socket and
// raises ENetConnectTimeout "Connect timed out.".
void ConnectWithTimeout(TNetSocketHandle& handle, int32_t timeout);
