// Whether a failed delivery may succeed later, so the voice mail waits in
// the outbox instead of being reported as refused (RFC 5321 4.2.1, 4.5.4.1):
// a 4xx reply at any stage; a connection refused, unreachable, timed out
// or cut before the reply to "."; a DNS time-out or SERVFAIL. Everything
// else (5xx, a refused certificate, a host name that does not exist, a
// server past the protocol's caps) is for good.
#pragma once

#include <exception>

bool IsTemporaryFailure(const std::exception& error);
