// The name an SMTP client announces in EHLO/HELO when none is configured
// (RFC 5321 4.1.1.1, 4.1.3): the host's fully qualified name, or, when the
// host knows no name with a dot, the address literal of the connection's
// local end. Picking the configured name instead is the caller's.
#pragma once

#include <string>

class TNetIOHandler;

// hostName when it has a dot; else "[192.0.2.1]" ("[IPv6:...]" for an IPv6
// address) of localIP; hostName after all when localIP is unknown (empty).
std::string DefaultHeloName(const std::string& hostName, const std::string& localIP);

// The local address of transport's connection, looking through TLS to the
// socket under it; empty when there is none (not connected, no socket).
std::string LocalAddressOf(TNetIOHandler* transport);

// DefaultHeloName for this machine and the connection of transport.
std::string LocalHeloName(TNetIOHandler* transport);
