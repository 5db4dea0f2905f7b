// Socket error codes and their texts. Errors are kept as Windows Sockets
// code numbers (10061 for a refused connect, 11001 for an unknown host) so
// every message reads the same on every platform; errno and getaddrinfo
// results are mapped onto them here.
#pragma once

#include <string>

// Code numbers used by name in the delivery code.
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

// The code number for an errno value; unknown values pass unchanged.
int SocketErrorFromErrno(int err);
// The code number for a getaddrinfo result (errnoValue for EAI_SYSTEM).
int SocketErrorFromLookup(int gaiResult, int errnoValue);

// The table text of a code ("Connection refused."), empty when unknown.
std::string SocketErrorText(int code);
// "Socket Error # <code>" CR LF <text>.
std::string SocketErrorMessage(int code);
