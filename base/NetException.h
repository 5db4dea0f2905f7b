// ENetException: base of every error of the mail message and delivery code,
// and the errors the message model and writer raise themselves. Each carries
// a fixed English message; the delivery errors live in net/.
#pragma once

#include "base/Exception.h"

class ENetException : public Exception {
public:
    using Exception::Exception;
};

// A message that cannot be written as asked (UU with text parts, a line
// break where the header would be broken by it).
class ENetMessageException : public ENetException {
public:
    using ENetException::ENetException;
};

// "@ Outside address": an "@" after a closed angle-bracket address.
class ENetEmailParseError : public ENetException {
public:
    using ENetException::ENetException;
};

// The abstract part class was instantiated itself.
class ENetCanNotCreateMessagePart : public ENetException {
public:
    using ENetException::ENetException;
};

// The system gave no local zone offset for the "Date" header.
class ENetFailedToRetreiveTimeZoneInfo : public ENetException {
public:
    using ENetException::ENetException;
};
