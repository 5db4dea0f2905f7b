// Line I/O, reply reading and the write buffer of a TCP connection; the
// connect of TNetTCPClient. Runs on the GUI thread; waits go through the
// transport, which gives the anti-freeze its slices.
#include "net/NetTCPConnection.h"

#include "base/Text.h"
#include "net/NetAntiFreeze.h"
#include "net/NetDeliveryException.h"
#include "net/NetIOHandlerSocket.h"
#include "net/NetSocketError.h"

#include <algorithm>
#include <cstring>

TNetTCPConnection::TNetTCPConnection() = default;

TNetTCPConnection::~TNetTCPConnection() = default;

void TNetTCPConnection::SetIOHandler(std::unique_ptr<TNetIOHandler> transport) {
    FIOHandler = std::move(transport);
    FOneConnection = false;
    // A new transport starts a new connection, whatever the old one did.
    FClosedGracefully = false;
    ResetWriteCount();
}

void TNetTCPConnection::ResetWriteCount() {
    FWritten = 0;
    FAckReported = 0;
}

void TNetTCPConnection::ReportAcknowledged() {
    const int64_t unacked = FIOHandler ? FIOHandler->Unacknowledged() : 0;
    // Under TLS the transport counts records, a little more than our
    // bytes: the estimate stays below what the peer really has.
    const int64_t acked = FWritten - std::min(FWritten, unacked);
    if (acked > FAckReported) {
        const int64_t delta = acked - FAckReported;
        FAckReported = acked;
        DoWork(false, delta);
    }
}

bool TNetTCPConnection::AwaitReadable(int32_t wait) {
    using Clock = std::chrono::steady_clock;
    if (WriteTimeout <= 0)
        return FIOHandler->Readable(wait);
    const bool infinite = wait == TimeoutInfinite;
    const auto end = Clock::now() + std::chrono::milliseconds(infinite ? 0 : wait);
    auto msUntil = [](Clock::time_point t) {
        return static_cast<int32_t>(std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(t - Clock::now()).count()));
    };
    int64_t unacked = FIOHandler->Unacknowledged();
    auto progress = Clock::now();
    for (;;) {
        if (unacked == 0)
            return FIOHandler->Readable(infinite ? TimeoutInfinite : msUntil(end));
        const auto stalledUntil = progress + std::chrono::milliseconds(WriteTimeout);
        if (Clock::now() >= stalledUntil) {
            // The peer took nothing of what we sent: no reply can come.
            CloseSocket();
            throw ENetReadTimeout();
        }
        int32_t slice = std::min<int32_t>(250, msUntil(stalledUntil));
        if (!infinite)
            slice = std::min(slice, msUntil(end));
        if (FIOHandler->Readable(slice))
            return true;
        ReportAcknowledged();
        if (!infinite && Clock::now() >= end)
            return false;
        const int64_t now = FIOHandler->Unacknowledged();
        if (now < unacked)
            progress = Clock::now();
        unacked = now;
    }
}

void TNetTCPConnection::SetOwnIOHandler(std::unique_ptr<TNetIOHandler> transport) {
    SetIOHandler(std::move(transport));
    FOneConnection = FIOHandler != nullptr;
}

bool TNetTCPConnection::IsConnected() {
    CheckForDisconnect(false);
    return FIOHandler && FIOHandler->Connected();
}

void TNetTCPConnection::CloseSocket() {
    FClosedGracefully = true;
    if (FIOHandler)
        FIOHandler->Close();
}

void TNetTCPConnection::CloseConnection() {
    DoStatus(TNetStatus::Disconnecting, "");
    CloseSocket();
    if (FOneConnection) {
        FIOHandler.reset();
        FOneConnection = false;
    }
    DoStatus(TNetStatus::Disconnected, "");
}

void TNetTCPConnection::CheckForDisconnect(bool raise, bool ignoreBuffer) {
    bool lost;
    if (FClosedGracefully || !FIOHandler) {
        if (FIOHandler && FIOHandler->Connected()) {
            FIOHandler->Close();
            DoStatus(TNetStatus::Disconnected, "");
        }
        lost = FIOHandler != nullptr;
    } else {
        lost = !FIOHandler->Connected();
    }
    if (lost && raise && (FInputBuffer.Empty() || ignoreBuffer))
        throw ENetConnClosedGracefully();
}

int TNetTCPConnection::ReadFromStack(bool raiseIfDisconnected, int32_t timeout,
                                     bool raiseOnTimeout) {
    if (timeout == TimeoutDefault)
        timeout = ReadTimeout == 0 ? TimeoutInfinite : ReadTimeout;
    CheckForDisconnect(raiseIfDisconnected);
    if (!FIOHandler || !FIOHandler->Connected()) {
        if (raiseIfDisconnected)
            throw ENetNotConnected();
        return 0;
    }
    const size_t chunk = static_cast<size_t>(std::max<int32_t>(1, RecvBufferSize));
    ssize_t n;
    do {
        int32_t wait = timeout;
        if (FReplyDeadline != std::chrono::steady_clock::time_point::max()) {
            // The reply's deadline caps every wait, so a drip of bytes
            // cannot stretch the reply beyond it.
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            FReplyDeadline - std::chrono::steady_clock::now())
                            .count();
            if (left <= 0) {
                if (raiseOnTimeout)
                    throw ENetReadTimeout();
                return -1;
            }
            if (wait == TimeoutInfinite || left < wait)
                wait = static_cast<int32_t>(left);
        }
        if (!AwaitReadable(wait)) {
            if (raiseOnTimeout)
                throw ENetReadTimeout();
            return -1;
        }
        FRecvScratch.resize(chunk);
        n = FIOHandler->Recv(FRecvScratch.data(), chunk);
        if (n == 0)
            FClosedGracefully = true;
        if (n < 0) {
            int code = FIOHandler->LastErrorCode();
            if (code != WSAESHUTDOWN && code != WSAECONNABORTED)
                TNetStack::RaiseSocketError(code);
            CloseSocket();
            if (FInputBuffer.Empty())
                TNetStack::RaiseSocketError(code);
            n = 0;
        }
        if (n > 0) {
            if (ASCIIFilter)
                for (ssize_t i = 0; i < n; ++i)
                    FRecvScratch[i] = static_cast<char>(FRecvScratch[i] & 0x7F);
            FInputBuffer.Append(FRecvScratch.data(), static_cast<size_t>(n));
        }
        CheckForDisconnect(raiseIfDisconnected);
    } while (n == 0 && FIOHandler && FIOHandler->Connected());
    return static_cast<int>(n);
}

void TNetTCPConnection::RaiseLineTooLong() {
    throw ENetReadLnMaxLineLengthExceeded();
}

std::string TNetTCPConnection::ReadLine(const std::string& terminatorIn, int32_t timeout,
                                        int32_t maxLength) {
    const std::string terminator = terminatorIn.empty() ? std::string("\n") : terminatorIn;
    if (maxLength == -1)
        maxLength = MaxLineLength;
    const size_t limit = maxLength > 0 ? static_cast<size_t>(maxLength) : 0;
    const bool lfOnly = terminator == "\n";
    FReadLnSplit = false;
    FReadLnTimedOut = false;

    // The length of a line, as the limit counts it: without a CR that the
    // LF terminator takes along.
    auto lineLength = [&](size_t rawLength) {
        if (lfOnly && rawLength > 0 && FInputBuffer.Data()[rawLength - 1] == '\r')
            return rawLength - 1;
        return rawLength;
    };
    auto tooLong = [&]() -> std::string {
        if (MaxLineAction == maException)
            RaiseLineTooLong();
        FReadLnSplit = true;
        DoWork(true, static_cast<long long>(limit));
        return FInputBuffer.Extract(limit);
    };

    size_t searchFrom = 0;
    for (;;) {
        const size_t size = FInputBuffer.Size();
        const char* data = FInputBuffer.Data();
        size_t found = std::string::npos;
        if (size >= terminator.size()) {
            size_t start = std::min(searchFrom, size);
            const char* hit = static_cast<const char*>(
                terminator.size() == 1
                    ? std::memchr(data + start, terminator[0], size - start)
                    : memmem(data + start, size - start, terminator.data(), terminator.size()));
            if (hit)
                found = static_cast<size_t>(hit - data);
            // The terminator may straddle the old end: search again from
            // just before it next time.
            searchFrom = size >= terminator.size() ? size - terminator.size() + 1 : 0;
        }
        if (found != std::string::npos) {
            if (limit != 0 && lineLength(found) > limit)
                return tooLong();
            std::string line = FInputBuffer.Extract(found);
            FInputBuffer.Remove(terminator.size());
            DoWork(true, static_cast<long long>(found + terminator.size()));
            if (lfOnly && !line.empty() && line.back() == '\r')
                line.pop_back();
            return line;
        }
        if (limit != 0 && lineLength(size) > limit)
            return tooLong();
        CheckForDisconnect(true, true);
        if (ReadFromStack(true, timeout, timeout == TimeoutDefault) <= 0) {
            FReadLnTimedOut = true;
            return "";
        }
    }
}

std::string TNetTCPConnection::ReadNonEmptyLine(int32_t attemptLimit) {
    for (int32_t i = 0; i < attemptLimit; ++i) {
        std::string line = Trim(ReadLine("\n", TimeoutDefault, MaxLineLength));
        if (!line.empty())
            return line;
    }
    return "";
}

int16_t TNetTCPConnection::ReadReply(const TNetReplyCodes& accepted) {
    return ReadReplyWithin(accepted, ReplyTimeout);
}

int16_t TNetTCPConnection::ReadReplyWithin(const TNetReplyCodes& accepted, int32_t replyTimeout) {
    using Clock = std::chrono::steady_clock;
    struct DeadlineScope {
        Clock::time_point& Deadline;
        ~DeadlineScope() { Deadline = Clock::time_point::max(); }
    } scope{FReplyDeadline};
    if (replyTimeout > 0)
        FReplyDeadline = Clock::now() + std::chrono::milliseconds(replyTimeout);
    // Every line read for this reply counts against the cap, the empty ones
    // a server may send before it included: an endless stream of either
    // must end in an error, not in a hang or in memory use without bound.
    int32_t linesLeft = MaxReplyLines;
    size_t bytes = 0;
    std::vector<std::string> lines;
    auto next = [&]() {
        std::string line;
        while (linesLeft > 0 && line.empty()) {
            --linesLeft;
            line = ReadNonEmptyLine(1);
        }
        if (line.empty())
            throw ENetReplyTooLong();
        bytes += line.size();
        if (bytes > MaxReplyBytes)
            throw ENetReplyTooLong();
        lines.push_back(line);
        return line;
    };
    std::string first = next();
    if (first.size() > 3 && first[3] == '-') {
        const std::string endMarker = first.substr(0, 3) + " ";
        for (;;) {
            std::string line = next();
            if (line.size() < 4 || SameText(line.substr(0, 4), endMarker))
                break;
        }
    }
    LastReply.Parse(lines);
    return CheckReply(LastReply.NumericCode, accepted);
}

int16_t TNetTCPConnection::CheckReply(int16_t code, const TNetReplyCodes& accepted) {
    if (accepted.empty() || std::find(accepted.begin(), accepted.end(), code) != accepted.end())
        return code;
    throw ENetProtocolReplyError(LastReply.NumericCode, LastReply.TextWithLineEnds());
}

int16_t TNetTCPConnection::SendCommand(const std::string& command, const TNetReplyCodes& accepted) {
    WriteLine(command);
    return ReadReply(accepted);
}

int16_t TNetTCPConnection::SendCommand(const std::string& command, int16_t code) {
    return SendCommand(command, code == -1 ? TNetReplyCodes{} : TNetReplyCodes{code});
}

void TNetTCPConnection::WriteLine(const std::string& text) {
    if (text.find_first_of("\r\n") != std::string::npos)
        throw ENetLineBreakInCommand();
    // One write for text and line end keeps a command in one segment.
    WriteText(text + "\r\n");
}

void TNetTCPConnection::WriteText(const std::string& text) {
    if (!text.empty())
        WriteBytes(text.data(), text.size(), false);
}

void TNetTCPConnection::DoStatus(const std::string& text) {
    DoStatus(TNetStatus::Text, text);
}

void TNetTCPConnection::WriteBytes(const void* data, size_t count, bool writeNow) {
    if (count == 0)
        return;
    CheckForDisconnect(true, true);
    if (!FIOHandler || !FIOHandler->Connected())
        throw ENetNotConnected();
    if (FWriteBuffer && !writeNow) {
        FWriteBuffer->append(static_cast<const char*>(data), count);
        if (FWriteBufferThreshold > 0 &&
            FWriteBuffer->size() >= static_cast<size_t>(FWriteBufferThreshold))
            FlushPending(FWriteBufferThreshold);
        return;
    }
    SendNow(static_cast<const char*>(data), count);
}

void TNetTCPConnection::SendNow(const char* data, size_t count) {
    FIOHandler->SetWriteTimeout(WriteTimeout);
    FIOHandler->SetWriteWaitHook([this] { ReportAcknowledged(); });
    size_t sent = 0;
    while (sent < count) {
        ssize_t n = FIOHandler->Send(data + sent, count - sent);
        try {
            TNetAntiFreezeBase::DoProcess(false);
        } catch (...) {
            // A cancel between writes: what went out is part of a command.
            CloseSocket();
            throw;
        }
        if (n == 0) {
            FClosedGracefully = true;
            CheckForDisconnect(true, true);
            throw ENetConnClosedGracefully();
        }
        if (n < 0) {
            int code = FIOHandler->LastErrorCode();
            if (code == WSAESHUTDOWN || code == WSAECONNABORTED || code == WSAECONNRESET)
                CloseSocket();
            TNetStack::RaiseSocketError(code);
        }
        sent += static_cast<size_t>(n);
        FWritten += n;
        ReportAcknowledged();
    }
}

void TNetTCPConnection::StartWriteBuffering(int32_t threshold) {
    FWriteBuffer = std::make_unique<std::string>();
    FWriteBufferThreshold = threshold;
}

void TNetTCPConnection::FlushPending(int32_t count) {
    if (!FWriteBuffer || FWriteBuffer->empty())
        return;
    if (count != -1 && count >= 0 && FWriteBuffer->size() >= static_cast<size_t>(count)) {
        WriteBytes(FWriteBuffer->data(), static_cast<size_t>(count), true);
        FWriteBuffer->erase(0, static_cast<size_t>(count));
    } else {
        WriteBytes(FWriteBuffer->data(), FWriteBuffer->size(), true);
        FWriteBuffer->clear();
    }
}

void TNetTCPConnection::StopWriteBuffering() {
    try {
        FlushPending(-1);
    } catch (...) {
        FWriteBuffer.reset();
        throw;
    }
    FWriteBuffer.reset();
}

void TNetTCPClient::OpenConnection(int32_t timeout) {
    if (!FIOHandler) {
        auto transport = std::make_unique<TNetIOHandlerSocket>();
        transport->OnStatus = [this](TNetComponent&, TNetStatus status, const std::string& text) {
            TNetComponent::DoStatus(status, text);
        };
        SetOwnIOHandler(std::move(transport));
    } else if (FIOHandler->Connected()) {
        throw ENetAlreadyConnected();
    }
    try {
        FIOHandler->Open();
        FInputBuffer.Clear();
        FClosedGracefully = false;
        ResetWriteCount();
        if (timeout == TimeoutDefault && ConnectTimeout > 0)
            timeout = ConnectTimeout;
        FIOHandler->SetHostAddresses(HostAddresses);
        FIOHandler->ConnectClient(Host, Port, BoundIP, BoundPort, BoundPortMin, BoundPortMax,
                                  timeout);
        TNetComponent::DoStatus(TNetStatus::Connected, Host);
    } catch (...) {
        CloseSocket();
        throw;
    }
}
