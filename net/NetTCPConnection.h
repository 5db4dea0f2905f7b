// TNetTCPConnection: a blocking, line-oriented byte stream over a transport
// (TNetIOHandler), with server replies read and checked against accepted
// codes. It knows nothing of SMTP. Everything a peer sends is capped: line
// length (MaxLineLength), lines and bytes of one reply, empty lines between
// replies. TNetTCPClient adds the target and the connect.
#pragma once

#include "base/NetLineOutput.h"
#include "net/NetComponent.h"
#include "net/NetIOHandler.h"
#include "net/NetRFCReply.h"
#include "net/NetStack.h"
#include "net/NetTCPBuffer.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum TNetMaxLineAction { maException, maSplit };

class TNetTCPConnection : public TNetComponent, public TNetLineOutput {
public:
    // Limits of one reply: past them the server is not talking SMTP (or is
    // hostile) and the read stops with ENetReplyTooLong.
    static constexpr int MaxReplyLines = 1000;
    static constexpr size_t MaxReplyBytes = 65536;

    TNetTCPConnection();
    ~TNetTCPConnection() override;

    int32_t ReadTimeout = 0; // ms; 0: no limit
    // ms for all lines of one reply together, however slowly they come;
    // 0: no limit. Expiry raises ENetReadTimeout.
    int32_t ReplyTimeout = 0;
    // ms a write may go without the peer acknowledging a byte; 0: no
    // limit. It holds for a reply awaited while the peer has not
    // acknowledged all we sent too, so a peer that stopped reading is
    // noticed although the kernel took everything. Expiry closes the
    // socket and raises ENetReadTimeout.
    int32_t WriteTimeout = 0;
    int32_t MaxLineLength = 16384; // without the terminator; 0: no limit
    TNetMaxLineAction MaxLineAction = maException;
    int32_t RecvBufferSize = 32768;
    int32_t SendBufferSize = 32768;
    bool ASCIIFilter = false; // mask received bytes to 7 bits

    TNetRFCReply LastReply;
    TNetRFCReply Greeting;

    TNetIOHandler* IOHandler() const { return FIOHandler.get(); }
    // Uses transport for this and every later connection (a connection
    // left to make its own makes a new one for each). Only while closed.
    void SetIOHandler(std::unique_ptr<TNetIOHandler> transport);

    bool ClosedGracefully() const { return FClosedGracefully; }
    bool ReadLnSplit() const { return FReadLnSplit; }
    bool ReadLnTimedOut() const { return FReadLnTimedOut; }
    size_t InputBufferSize() const { return FInputBuffer.Size(); }

    // True while the transport is open; notices a peer that closed first.
    bool IsConnected();
    // Closes the socket; a transport made here is freed. Never raises.
    void CloseConnection();

    // TNetLineOutput. WriteLine refuses text with CR or LF in it, before
    // anything is sent: a line break inside would end the line early.
    void WriteLine(const std::string& text) override;
    void WriteText(const std::string& text) override;
    // OnWork reports written bytes as the peer acknowledges them (as far as
    // the transport can tell), not as the kernel takes them.
    void WriteBytes(const void* data, size_t count, bool writeNow = false) override;
    void DoStatus(const std::string& text) override;
    using TNetComponent::DoStatus;

    void StartWriteBuffering(int32_t threshold = -1);
    void FlushPending(int32_t count = -1);
    void StopWriteBuffering();
    // Drops the write buffer and what it holds, sending nothing.
    void DiscardWriteBuffer() { FWriteBuffer.reset(); }
    bool WriteBuffering() const { return FWriteBuffer != nullptr; }

    // One line without its terminator (LF drops a CR before it too).
    std::string ReadLine(const std::string& terminator = "\n", int32_t timeout = TimeoutDefault,
                         int32_t maxLength = -1);
    // The first line that is not empty after trimming; empty when
    // attemptLimit lines were all empty.
    std::string ReadNonEmptyLine(int32_t attemptLimit = 2147483647);
    // Reads one reply into LastReply and checks its code.
    int16_t ReadReply(const TNetReplyCodes& accepted);
    // As ReadReply with its own whole-reply limit (ms; 0: none).
    int16_t ReadReplyWithin(const TNetReplyCodes& accepted, int32_t replyTimeout);
    int16_t SendCommand(const std::string& command, const TNetReplyCodes& accepted);
    // One code; -1 accepts every code.
    int16_t SendCommand(const std::string& command, int16_t code = -1);
    // Raises ENetProtocolReplyError with LastReply's text unless accepted.
    int16_t CheckReply(int16_t code, const TNetReplyCodes& accepted);

    // Fills the input buffer from the transport: bytes read, 0 when closed,
    // -1 on a time-out that is not raised.
    int ReadFromStack(bool raiseIfDisconnected = true, int32_t timeout = TimeoutDefault,
                      bool raiseOnTimeout = true);
    // The lost-connection check.
    void CheckForDisconnect(bool raise = true, bool ignoreBuffer = false);

protected:
    // Closes the transport and marks the connection closed (no events).
    void CloseSocket();
    // Sets a transport made for one connection: CloseConnection frees it.
    void SetOwnIOHandler(std::unique_ptr<TNetIOHandler> transport);
    // A new connection starts counting written bytes afresh.
    void ResetWriteCount();
    // True when the transport is the caller's (SetIOHandler), kept for
    // every connection.
    bool CallersIOHandler() const { return FIOHandler && !FOneConnection; }
    std::unique_ptr<TNetIOHandler> FIOHandler;
    TNetManagedBuffer FInputBuffer;
    bool FClosedGracefully = false;

private:
    [[noreturn]] void RaiseLineTooLong();
    void SendNow(const char* data, size_t count);
    // Raises OnWork for what the peer acknowledged since the last report.
    void ReportAcknowledged();
    // The transport's readability wait, bounded by WriteTimeout as well
    // while the peer has not acknowledged everything.
    bool AwaitReadable(int32_t wait);
    int64_t FWritten = 0;     // bytes handed to the transport
    int64_t FAckReported = 0; // of those, reported through OnWork
    // The end of the reply being read; time_point::max() while none.
    std::chrono::steady_clock::time_point FReplyDeadline =
        std::chrono::steady_clock::time_point::max();
    bool FOneConnection = false; // FIOHandler was made for the current connection
    bool FReadLnSplit = false;
    bool FReadLnTimedOut = false;
    std::string FRecvScratch;
    std::unique_ptr<std::string> FWriteBuffer;
    int32_t FWriteBufferThreshold = -1;
};

class TNetTCPClient : public TNetTCPConnection {
public:
    std::string Host;
    int32_t Port = 0;
    std::string BoundIP;
    int32_t BoundPort = 0;
    int32_t BoundPortMin = 0;
    int32_t BoundPortMax = 0;
    // ms the connect (every address of Host raced) may take when
    // OpenConnection is given TimeoutDefault; 0: the 120 s limit of old.
    int32_t ConnectTimeout = 0;
    // Addresses to race instead of looking Host up (tests and benchmarks);
    // empty: look it up.
    std::vector<std::string> HostAddresses;

    // Opens a socket transport (unless one is set) and connects to
    // Host:Port. A failure leaves the socket closed and the transport kept.
    void OpenConnection(int32_t timeout = TimeoutDefault);
};
