// The device authorization grant (RFC 8628) for quillet-send --sign-in:
// asks the service for a code, shows the user the address and the code,
// then polls the token address at the service's interval (five seconds
// more after each slow_down) until the user has signed in elsewhere, said
// no, or the code has run out; then keeps the refresh token.
#pragma once

#include "oauth/OAuthAccount.h"
#include "oauth/TokenResponse.h"

#include <functional>
#include <string>

struct TDeviceSignInTiming {
    // Milliseconds in one of the service's seconds: intervals, the
    // slow_down step and the code's lifetime are counted in them (tests
    // make a second short).
    int SecondMs = 1000;
};

// Runs the whole grant. onPrompt shows what the user must do; onWait gets
// its chance at least every 20 ms (a raise ends the sign-in and passes
// on). Returns SignedInText's message; raises EOAuthError.
std::string RunDeviceSignIn(const TOAuthAccount& account,
                            const std::function<void(const TDeviceAuthorization&)>& onPrompt,
                            const std::function<void()>& onWait, TDeviceSignInTiming timing = {});

// Waits ms, serving events and calling onWait every 20 ms.
void WaitServing(int ms, const std::function<void()>& onWait);
