// TNetConnectRace: connects to one host by racing its addresses, as RFC 8305
// (Happy Eyeballs v2) describes: the addresses in the order the system
// resolver sorted them (RFC 6724) with the families interleaved, a new
// attempt 250 ms after the last one while none has connected (at once
// when the last one failed), the first connect wins and the others are
// closed. The time-out bounds the whole race. It runs on the calling
// thread in slices, the anti-freeze serviced between them; a cancel (an
// exception of the anti-freeze) closes every attempt. No protocol here.
#pragma once

#include "net/NetSocketHandle.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// addresses reordered so the families alternate, starting with the family
// of the first (RFC 8305 4, a first address family count of one); the
// order within each family stays.
std::vector<std::string> InterleaveFamilies(const std::vector<std::string>& addresses);

class TNetConnectRace {
public:
    // RFC 8305 5: the recommended connection attempt delay.
    static constexpr int32_t AttemptDelayMs = 250;

    // host names the target in messages; addresses are tried in this order.
    TNetConnectRace(std::string host, std::vector<std::string> addresses, int port);

    // The local end of every attempt (empty and 0: any).
    std::string BoundIP;
    int BoundPort = 0, BoundPortMin = 0, BoundPortMax = 0;
    // Asked between slices: true when the caller gave up meanwhile (an
    // event handler closed the transport); the race then ends as a time-out.
    std::function<bool()> Abandoned;

    // The connected socket (blocking again), within timeout ms
    // (TimeoutInfinite: no limit). When no address connects: with one
    // address, ENetConnectTimeout "Connect timed out." or, for a refusal
    // or other failure, ENetConnectException with the socket error's
    // message (ENetSocketError itself when plainErrors is set: a connect
    // without a time limit or window to service reports as a blocking one
    // did); with several, ENetConnectException naming each address with
    // its reason.
    std::unique_ptr<TNetSocketHandle> Run(int32_t timeout, bool plainErrors = false);

private:
    struct TAttempt {
        std::unique_ptr<TNetSocketHandle> Socket;
        size_t Index = 0;
    };
    // Starts the next address's connect: in flight, or its failure noted.
    void StartNext();
    void NoteFailure(size_t index, const std::string& reason, int code);
    [[noreturn]] void RaiseAllFailed(bool plainErrors);

    std::string FHost;
    std::vector<std::string> FAddresses;
    int FPort;
    size_t FNext = 0;
    std::vector<TAttempt> FAttempts;   // in flight
    std::vector<std::string> FReasons; // per address; empty: not tried
    std::vector<int> FCodes;           // per address; 0 for a time-out
};
