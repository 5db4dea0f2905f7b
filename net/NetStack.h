// TNetStack: the process-wide socket layer. One instance exists while any
// network component does (counted in TNetComponent); every socket call of
// the delivery code goes through it so errors are translated in one place
// into Windows Sockets code numbers (see NetSocketError.h). IPv4 and IPv6:
// an address is text everywhere, its family told by its form.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <sys/types.h>
#include <vector>

// Time-outs are signed 32-bit milliseconds with two sentinels.
constexpr int32_t TimeoutDefault = -1;  // use the object's configured time-out
constexpr int32_t TimeoutInfinite = -2; // no limit

using TNetSocket = int;
constexpr TNetSocket NetInvalidSocket = -1;

class TNetStack {
public:
    virtual ~TNetStack() = default;

    // The live stack; raises ENetStackError when no network component exists.
    static TNetStack& Instance();
    static bool Exists();
    // Counting of the users (network components): the first creates the
    // stack, the last frees it. Thread-safe (one process-wide lock).
    static void AddUser();
    static void ReleaseUser();

    // Platform calls. Each returns -1 on failure with LastError() set to the
    // code number, and otherwise what the platform call returns.
    virtual TNetSocket CreateSocket(int family, int type, int protocol) = 0;
    // Empty ip: any local address; port 0: any free port.
    virtual int Bind(TNetSocket s, const std::string& ip, int port) = 0;
    virtual int Connect(TNetSocket s, const std::string& ip, int port) = 0;
    // Never blocks: a full send buffer fails with WSAEWOULDBLOCK, and the
    // caller waits for writability in its own (anti-freeze) slices.
    virtual ssize_t Send(TNetSocket s, const void* data, size_t count) = 0;
    virtual ssize_t Receive(TNetSocket s, void* buffer, size_t count) = 0;
    // Bytes sent on a stream socket that the peer has not acknowledged yet
    // (SIOCOUTQ); -1 on failure.
    virtual int64_t Unacknowledged(TNetSocket s) = 0;
    virtual ssize_t SendTo(TNetSocket s, const void* data, size_t count, const std::string& ip,
                           int port) = 0;
    // A datagram longer than count fails with 10040 (message too long)
    // instead of arriving cut short, so a reply is never parsed in part.
    virtual ssize_t ReceiveFrom(TNetSocket s, void* buffer, size_t count, std::string& ip,
                                int& port) = 0;
    // One wait for readability: 1 readable, 0 time-out, -1 failure.
    // TimeoutInfinite waits without limit.
    virtual int WaitReadable(TNetSocket s, int32_t timeout) = 0;
    // As WaitReadable, for writability (a non-blocking connect completing).
    virtual int WaitWritable(TNetSocket s, int32_t timeout) = 0;
    // One wait until any of sockets is writable (or failed): the number
    // ready, 0 on time-out, -1 on failure; ready[i] tells which.
    virtual int WaitAnyWritable(const std::vector<TNetSocket>& sockets, int32_t timeout,
                                std::vector<bool>& ready) = 0;
    virtual int Shutdown(TNetSocket s, int how) = 0;
    virtual int Close(TNetSocket s) = 0;
    virtual int SetSocketOption(TNetSocket s, int level, int name, int value) = 0;
    virtual int SetBlocking(TNetSocket s, bool blocking) = 0;
    // The pending error of a socket (SO_ERROR) as a code number, 0 for none.
    virtual int PendingError(TNetSocket s) = 0;
    virtual int GetSocketName(TNetSocket s, std::string& ip, int& port) = 0;
    virtual int GetPeerName(TNetSocket s, std::string& ip, int& port) = 0;
    // Host-by-name lookup: every address of both families in the order the
    // system resolver gives (RFC 6724), each once, or none with LastError()
    // set (11001 when the host is not known).
    virtual std::vector<std::string> HostByName(const std::string& host) = 0;
    virtual std::string HostName() = 0;

    // The addresses to connect to for host: LOCALHOST (any case) is ::1
    // and 127.0.0.1 without a lookup; an address literal (dotted IPv4, IPv6
    // with or without brackets) is itself; a name with non-ASCII letters is
    // looked up in its A-label form; anything else is looked up. A failed
    // lookup raises its socket error.
    std::vector<std::string> ResolveAddresses(const std::string& host);
    // The first of them (a datagram goes to one address); LOCALHOST is
    // 127.0.0.1.
    std::string ResolveHost(const std::string& host);

    int LastError() const { return FLastError.load(); }
    void SetLastError(int code) { FLastError.store(code); }
    // For a result of -1: returns LastError(), raising ENetSocketError
    // unless the code is one of tolerated. Other results return 0.
    int CheckForSocketError(ssize_t result, std::initializer_list<int> tolerated = {});
    [[noreturn]] static void RaiseSocketError(int code);

    std::vector<std::string> LocalAddresses;

protected:
    std::atomic<int> FLastError{0};
};

// The stack over BSD sockets. The platform needs no start-up, so the
// initialisation and library-binding failures cannot occur here.
class TNetStackBSD : public TNetStack {
public:
    TNetStackBSD();
    TNetSocket CreateSocket(int family, int type, int protocol) override;
    int Bind(TNetSocket s, const std::string& ip, int port) override;
    int Connect(TNetSocket s, const std::string& ip, int port) override;
    ssize_t Send(TNetSocket s, const void* data, size_t count) override;
    ssize_t Receive(TNetSocket s, void* buffer, size_t count) override;
    ssize_t SendTo(TNetSocket s, const void* data, size_t count, const std::string& ip,
                   int port) override;
    ssize_t ReceiveFrom(TNetSocket s, void* buffer, size_t count, std::string& ip,
                        int& port) override;
    int WaitReadable(TNetSocket s, int32_t timeout) override;
    int WaitWritable(TNetSocket s, int32_t timeout) override;
    int Shutdown(TNetSocket s, int how) override;
    int Close(TNetSocket s) override;
    int SetSocketOption(TNetSocket s, int level, int name, int value) override;
    int SetBlocking(TNetSocket s, bool blocking) override;
    int64_t Unacknowledged(TNetSocket s) override;
    int WaitAnyWritable(const std::vector<TNetSocket>& sockets, int32_t timeout,
                        std::vector<bool>& ready) override;
    int PendingError(TNetSocket s) override;
    int GetSocketName(TNetSocket s, std::string& ip, int& port) override;
    int GetPeerName(TNetSocket s, std::string& ip, int& port) override;
    std::vector<std::string> HostByName(const std::string& host) override;
    std::string HostName() override;

private:
    int Fail(); // stores errno's code number, returns -1
    int Wait(TNetSocket s, short events, int32_t timeout);
};

// Holds the stack alive for code that is not a network component (tests,
// one-off tools): counts as one user while it lives.
class TNetStackUser {
public:
    TNetStackUser() { TNetStack::AddUser(); }
    ~TNetStackUser() { TNetStack::ReleaseUser(); }
    TNetStackUser(const TNetStackUser&) = delete;
    TNetStackUser& operator=(const TNetStackUser&) = delete;
};

// Dotted IPv4 text: four decimal parts 0..255 split at the first three dots.
bool IsDottedIP(const std::string& text);
// Parses dotted text into a host-order address; false when it is not one.
bool ParseDottedIP(const std::string& text, uint32_t& address);
// Four decimal numbers joined by dots, from a host-order address.
std::string FormatDottedIP(uint32_t address);
// An IPv6 address as text ("::1", "fe80::1%eth0"), without brackets.
bool IsIPv6Address(const std::string& text);
// AF_INET for a dotted IPv4 address, AF_INET6 for an IPv6 one, else 0.
int AddressFamilyOf(const std::string& ip);
// An address for messages: an IPv6 one in brackets ("[::1]").
std::string AddressForDisplay(const std::string& ip);
