// ENetException: base of every error of the mail message and delivery code.
#pragma once

#include "base/Exception.h"

class ENetException : public Exception {
public:
    using Exception::Exception;
};
