// A scripted SMTP-like server on 127.0.0.1 for transcript tests. It accepts
// one connection and plays a script of steps: lines to send, client lines to
// expect, the message data to read, and faults (close, silence, raw bytes,
// a slow drip, a stall after some bytes). It listens on 127.0.0.1 and a
// free port unless told otherwise.
// After the script it keeps reading until the client closes, so the whole
// transcript (QUIT included) can be checked. Plain sockets, own thread.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TSmtpStep {
    enum Kind {
        Send,    // text + CR LF
        SendRaw, // text as is
        Expect,  // one client line equal to text ("*": any line)
        Data,    // read the message data up to the line "." (kept in Data())
        Close,   // close the connection now
        Silence, // wait ms without reading or sending
        Drip,    // text as is, one byte every ms
        Take,    // read Ms bytes of whatever comes, then read no more (a stall)
    };
    Kind Kind;
    std::string Text;
    int Ms = 0;
};

// Short forms for scripts.
TSmtpStep Srv(const std::string& line);
TSmtpStep SrvRaw(const std::string& bytes);
TSmtpStep Cli(const std::string& line = "*");
TSmtpStep CliData();
TSmtpStep Hangup();
TSmtpStep Quiet(int ms);
TSmtpStep Drip(const std::string& bytes, int msPerByte);
TSmtpStep Take(int bytes);

// Where the server listens and how much its kernel takes in for it.
struct TSmtpFakeOptions {
    std::string Address = "127.0.0.1"; // "::1" too
    int Port = 0;                      // 0: a free one
    int ReceiveBuffer = 0;             // SO_RCVBUF; 0: the system's
};

class TSmtpFakeServer {
public:
    // Listens on 127.0.0.1 and a free port and starts playing script on the
    // first connection.
    explicit TSmtpFakeServer(std::vector<TSmtpStep> script, const TSmtpFakeOptions& options = {});
    ~TSmtpFakeServer(); // stops and joins

    int Port() const { return FPort; }
    // Waits up to ms for the session to end (client closed or script closed).
    bool WaitDone(int ms = 10000);

    // Every line the client sent, without CR LF, in order (data lines not
    // included; the data is in Data()).
    std::vector<std::string> Lines();
    // The raw bytes of the message data, from after DATA's 354 up to and
    // including the CR LF before ".".
    std::string Data();
    // Mismatches of Expect steps ("" when none).
    std::string Failure();
    // True when the client closed its side (EOF seen) or the script closed.
    bool Closed() const { return FClosed.load(); }
    // Number of connections accepted.
    int Connections() const { return FConnections.load(); }
    // When a Take step stopped reading; the epoch while none did.
    std::chrono::steady_clock::time_point StoppedReading();
    // False when the address and port could not be bound.
    bool Listening() const { return FListening; }

private:
    void Run();
    bool ReadLine(int fd, std::string& line, int waitMs);

    std::vector<TSmtpStep> FScript;
    int FListen = -1;
    int FPort = 0;
    int FStopPipe[2] = {-1, -1};
    std::thread FThread;
    std::mutex FLock;
    std::vector<std::string> FLines;
    std::string FData;
    std::string FFailure;
    std::string FPending; // bytes read but not yet used
    std::atomic<bool> FClosed{false};
    std::atomic<bool> FDone{false};
    std::atomic<int> FConnections{0};
    std::chrono::steady_clock::time_point FStopped{};
    bool FListening = false;
};
