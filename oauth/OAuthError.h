// EOAuthError: every failure of a sign-in or of getting an access token,
// with the sentence the user sees. Tokens never go into one.
#pragma once

#include "base/Exception.h"
#include "base/Translate.h"

class EOAuthError : public Exception {
public:
    using Exception::Exception;
};

// The sign-in was cancelled by the user.
class EOAuthCancelled : public EOAuthError {
public:
    EOAuthCancelled() : EOAuthError(Tr("OAuth", "The sign-in was cancelled.")) {}
};
