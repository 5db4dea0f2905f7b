// The account commands of quillet-send: --discover (settings proposed for
// an address, as settings lines) and --sign-in (the OAuth 2.0 sign-in of
// the settings: the device grant where the service offers it, else the
// browser on this computer with a loopback redirect). Each returns a
// TExitStatus; messages go to standard error, results to standard output.
#pragma once

#include "cli/CommandLine.h"

#include <functional>

// 0 found, 3 not found.
int RunDiscover(const TCliOptions& options);

// Runs on the main thread with a QCoreApplication. 0 signed in, 3 not
// (refused, timed out, cancelled), 4 the settings do not allow a sign-in.
// onCancel receives the function that ends the sign-in (for signals).
int RunSignIn(const TCliOptions& options,
              const std::function<void(std::function<void()>)>& onCancel);
