// How well the GUI thread's event loop is serviced while the send workflow
// runs one job. A 10 ms timer on the main thread records when it fires; the
// job runs inside app.exec() (started by a 0 ms single-shot timer), so the
// timer only fires when the workflow's anti-freeze dispatches events. The
// gaps between consecutive ticks (the job's start and end count as ticks)
// show how long the window would have stayed frozen.
//   gui_responsiveness_bench paced     100 MB attachment, SMTP sink reading 20 MB/s
//   gui_responsiveness_bench unpaced   the same, the sink reading as fast as it can
//   gui_responsiveness_bench encode    5-minute 44.1 kHz 16-bit stereo WAV through
//                                      the real lame, saved as .eml (Save As)
// Prints one line on stdout:
//   JOB longest_gap_ms=.. p99_gap_ms=.. ticks=.. wall_s=.. bytes=..
// bytes: the message data the sink received (encode: the .eml file's size).
// On stderr: the time and longest gap of every workflow stage, to show where
// a long gap comes from. The sink is a thread of this program on 127.0.0.1.
#include "workflow/SendWorkflow.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int64_t AttachmentBytes = int64_t(100) << 20;
constexpr double PacedBytesPerSecond = 20.0 * (1 << 20);
constexpr int TickMs = 10;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// One SMTP connection on 127.0.0.1: 220 greeting, 250 to every command
// but DATA (354) and QUIT (221); the data up to CR LF "." CR LF is read
// and counted (with the CR LF before the "."), optionally no faster than
// a given rate, and answered 250.
class TSmtpSink {
public:
    explicit TSmtpSink(double bytesPerSecond) : FRate(bytesPerSecond) {
        FListen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (FListen < 0 || ::bind(FListen, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
            ::listen(FListen, 1) != 0)
            return;
        socklen_t len = sizeof sa;
        ::getsockname(FListen, reinterpret_cast<sockaddr*>(&sa), &len);
        FPort = ntohs(sa.sin_port);
        FThread = std::thread([this] { Run(); });
    }
    ~TSmtpSink() {
        Finish();
        if (FListen >= 0)
            ::close(FListen);
    }
    int Port() const { return FPort; }
    // Waits for the session to end; wakes an accept that never got a
    // connection.
    void Finish() {
        if (FListen >= 0)
            ::shutdown(FListen, SHUT_RDWR);
        if (FThread.joinable())
            FThread.join();
    }
    // Data bytes of the last message, or -1 when none ended.
    long long Bytes() const { return FBytes.load(); }

private:
    static bool Reply(int fd, const char* text) {
        size_t n = std::strlen(text);
        return ::send(fd, text, n, MSG_NOSIGNAL) == static_cast<ssize_t>(n);
    }

    void Run() {
        int fd = ::accept(FListen, nullptr, nullptr);
        if (fd < 0)
            return;
        Session(fd);
        ::close(fd);
    }

    void Session(int fd) {
        std::string pending;
        if (!Reply(fd, "220 sink ready\r\n"))
            return;
        char buf[4096];
        for (;;) {
            size_t lf;
            while ((lf = pending.find('\n')) == std::string::npos) {
                ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                if (n <= 0)
                    return;
                pending.append(buf, static_cast<size_t>(n));
            }
            std::string verb = pending.substr(0, std::min<size_t>(lf, 4));
            pending.erase(0, lf + 1);
            for (char& c : verb)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (verb == "DATA") {
                if (!Reply(fd, "354 go ahead\r\n") || !ReadData(fd, pending))
                    return;
                Reply(fd, "250 received\r\n");
            } else if (verb == "QUIT") {
                Reply(fd, "221 bye\r\n");
                return;
            } else if (!Reply(fd, "250 ok\r\n"))
                return;
        }
    }

    // Finds the end marker in the stream "\r\n" + data, so that empty data
    // (a "." line at once) needs no special case; the index of the marker
    // in that stream is the data's size including the CR LF before ".".
    bool ReadData(int fd, std::string& pending) {
        static const char Marker[] = "\r\n.\r\n";
        const size_t chunk = FRate > 0 ? size_t(64) << 10 : size_t(1) << 20;
        std::vector<char> buf(chunk);
        std::string carry = "\r\n";    // the last (up to 4) bytes of the stream seen
        unsigned long long before = 0; // stream bytes before carry[0]
        unsigned long long received = 0;
        const Clock::time_point start = Clock::now();
        std::string next = std::move(pending);
        pending.clear();
        for (;;) {
            if (next.empty()) {
                ssize_t n = ::recv(fd, buf.data(), buf.size(), 0);
                if (n <= 0)
                    return false;
                next.assign(buf.data(), static_cast<size_t>(n));
                received += static_cast<unsigned long long>(n);
                if (FRate > 0)
                    std::this_thread::sleep_until(
                        start + std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>(received / FRate)));
            }
            // A marker that straddles the carry and the new bytes, or one
            // inside the new bytes.
            std::string joint = carry + next.substr(0, 4);
            size_t hit = joint.find(Marker);
            size_t after;
            if (hit != std::string::npos) {
                after = hit + 5 - carry.size();
            } else {
                const void* m = ::memmem(next.data(), next.size(), Marker, 5);
                if (m) {
                    size_t at = static_cast<const char*>(m) - next.data();
                    hit = carry.size() + at;
                    after = at + 5;
                }
            }
            if (hit != std::string::npos) {
                FBytes = static_cast<long long>(before + hit);
                pending = next.substr(after);
                return true;
            }
            const unsigned long long total = before + carry.size() + next.size();
            std::string tail = carry + next.substr(next.size() > 4 ? next.size() - 4 : 0);
            carry = tail.substr(tail.size() > 4 ? tail.size() - 4 : 0);
            before = total - carry.size();
            next.clear();
        }
    }

    double FRate;
    int FListen = -1;
    int FPort = 0;
    std::atomic<long long> FBytes{-1};
    std::thread FThread;
};

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bool(f);
}

long long FileSize(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// A 16-bit PCM WAV: a 440 Hz tone with a little noise on both channels
// (the noise keeps the encoder from having it too easy). Always the same
// bytes, so every run encodes the same input.
std::string WavBytes(int seconds, int rate, int channels) {
    const size_t frames = size_t(seconds) * size_t(rate);
    std::string pcm(frames * size_t(channels) * 2, '\0');
    auto* out = reinterpret_cast<int16_t*>(pcm.data());
    uint32_t noise = 12345;
    const double step = 2 * M_PI * 440.0 / rate;
    for (size_t i = 0; i < frames; ++i) {
        const double tone = 8000.0 * std::sin(step * double(i % size_t(rate)));
        for (int c = 0; c < channels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            const int n = static_cast<int>(noise >> 20) - 2048; // -2048..2047
            *out++ = static_cast<int16_t>(tone + n);
        }
    }
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
    return "RIFF" + u32(uint32_t(36 + pcm.size())) + "WAVEfmt " + u32(16) + u16(1) +
           u16(uint16_t(channels)) + u32(uint32_t(rate)) + u32(uint32_t(rate * channels * 2)) +
           u16(uint16_t(channels * 2)) + u16(16) + "data" + u32(uint32_t(pcm.size())) + pcm;
}

// Pseudo-random bytes standing in for an MP3 (compressed data looks random).
std::string AttachmentData(int64_t size) {
    std::string data(static_cast<size_t>(size), '\0');
    uint64_t x = 0x9e3779b97f4a7c15ull;
    for (size_t i = 0; i + 8 <= data.size(); i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        std::memcpy(&data[i], &x, 8);
    }
    return data;
}

// The stages the workflow reports through its events, for the breakdown.
struct TStage {
    std::string Name;
    Clock::time_point Start;
    double LongestGapMs = 0;
    int Ticks = 0;
};

struct TRecorder {
    Clock::time_point Start, End;
    std::vector<Clock::time_point> Ticks;
    std::vector<TStage> Stages;
    // The longest gap, with the stages at its start and end.
    double LongestMs = 0;
    std::string LongestFrom, LongestTo;
    double LongestAtS = 0;
    Clock::time_point Last;

    void Enter(const std::string& name) {
        if (!Stages.empty() && Stages.back().Name == name)
            return;
        Stages.push_back({name, Clock::now()});
    }
    void Tick(Clock::time_point now, bool counts) {
        const double gap = Ms(now - Last);
        const std::string from = StageAt(Last);
        if (counts) {
            Ticks.push_back(now);
            ++Stages.back().Ticks;
        }
        Stages.back().LongestGapMs = std::max(Stages.back().LongestGapMs, gap);
        if (gap > LongestMs) {
            LongestMs = gap;
            LongestFrom = from;
            LongestTo = Stages.back().Name;
            LongestAtS = std::chrono::duration<double>(Last - Start).count();
        }
        Last = now;
    }
    std::string StageAt(Clock::time_point t) const {
        for (size_t i = Stages.size(); i-- > 0;)
            if (Stages[i].Start <= t)
                return Stages[i].Name;
        return Stages.empty() ? std::string() : Stages.front().Name;
    }
};

int Usage(const char* self) {
    std::fprintf(stderr, "usage: %s paced|unpaced|encode\n", self);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return Usage(argv[0]);
    const std::string job = argv[1];
    if (job != "paced" && job != "unpaced" && job != "encode")
        return Usage(argv[0]);
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    if (!tmp.isValid()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }
    const std::string dir = tmp.path().toStdString() + "/";
    const bool encode = job == "encode";
    const std::string eml = dir + "Quillet.eml";

    // Inputs are made before the clock starts.
    TWorkflowOptions files;
    files.RecordingFile = dir + "Quillet.wav";
    files.EncodedFile = dir + "Quillet.mp3";
    bool inputs = true;
    if (encode) {
        inputs = WriteFile(files.RecordingFile, WavBytes(300, 44100, 2));
    } else {
        // A send-only job: the attachment is copied in place of the encoder's run.
        inputs = WriteFile(dir + "take.mp3", AttachmentData(AttachmentBytes)) &&
                 WriteFile(files.RecordingFile, WavBytes(1, 44100, 2));
        files.EncoderCommandLine = "cp take.mp3 Quillet.mp3";
    }
    TSendWorkflow wf(files);
    if (!inputs) {
        std::fprintf(stderr, "could not write the inputs in %s\n", dir.c_str());
        return 1;
    }
    std::unique_ptr<TSmtpSink> sink;
    if (!encode) {
        sink = std::make_unique<TSmtpSink>(job == "paced" ? PacedBytesPerSecond : 0);
        if (sink->Port() == 0) {
            std::fprintf(stderr, "the sink could not listen\n");
            return 1;
        }
    }
    TSendSettings s;
    s.UserName = "Bench Sender";
    s.UserEmail = "sender@example.test";
    s.SendType = TSendType::Smtp;
    s.SmtpServer = "127.0.0.1";
    s.SmtpPort = sink ? sink->Port() : 25;
    s.SmtpSecurity = ssNone;
    s.TimeoutSeconds = 60;
    wf.ApplySettings(s);
    TSendFields fields;
    fields.To = "rcpt@example.test";
    fields.Subject = "Voice message";
    fields.Body = "A voice message.\r\nListen to the attachment.";

    TRecorder rec;
    rec.Ticks.reserve(1 << 16);
    std::vector<std::string> notices;
    wf.OnWaitText = [&](const std::string& text, bool) {
        if (text.rfind("Compressing", 0) == 0)
            rec.Enter("encoder");
        else if (text.rfind("Connecting", 0) == 0)
            rec.Enter("connect");
        else if (text.rfind("Sending by", 0) == 0)
            rec.Enter("size count");
        else if (text.rfind("Disconnecting", 0) == 0)
            rec.Enter("quit");
    };
    wf.OnHideWait = [&] { rec.Enter(encode ? "compose+write" : "compose"); };
    wf.OnProgress = [&](int64_t, int64_t) {
        if (!rec.Stages.empty() && rec.Stages.back().Name == "size count")
            rec.Enter("upload");
    };
    wf.OnMessage = [&](const std::string& t) { notices.push_back(t); };
    wf.OnInformation = [&](const std::string& t) { notices.push_back(t); };

    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(TickMs);
    QObject::connect(&ticker, &QTimer::timeout, [&] { rec.Tick(Clock::now(), true); });

    bool ok = false;
    std::string failure;
    QTimer::singleShot(0, [&] {
        rec.Start = rec.Last = Clock::now();
        rec.Enter("start");
        ticker.start();
        try {
            if (encode) {
                wf.SaveAs(fields, eml);
                ok = FileSize(eml) > 0;
            } else {
                ok = wf.Send(fields);
            }
        } catch (const std::exception& e) {
            failure = e.what();
        }
        rec.End = Clock::now();
        ticker.stop();
        rec.Tick(rec.End, false);
        QCoreApplication::exit(0);
    });
    app.exec();
    long long bytes = -1;
    if (sink) {
        sink->Finish(); // the session has ended: its count is final
        bytes = sink->Bytes();
    } else {
        bytes = FileSize(eml);
    }

    if (!ok) {
        std::fprintf(stderr, "%s failed: %s\n", job.c_str(),
                     !failure.empty()   ? failure.c_str()
                     : !notices.empty() ? notices.front().c_str()
                                        : "no mail was handed over");
        return 1;
    }
    // The gaps, the job's start and end taken as ticks.
    std::vector<double> gaps;
    Clock::time_point prev = rec.Start;
    for (const Clock::time_point& t : rec.Ticks) {
        gaps.push_back(Ms(t - prev));
        prev = t;
    }
    gaps.push_back(Ms(rec.End - prev));
    std::vector<double> sorted = gaps;
    std::sort(sorted.begin(), sorted.end());
    // Nearest rank.
    const size_t rank = static_cast<size_t>(std::ceil(0.99 * double(sorted.size())));
    const double p99 = sorted[std::max<size_t>(rank, 1) - 1];
    const double wall = std::chrono::duration<double>(rec.End - rec.Start).count();
    std::printf("%s longest_gap_ms=%.1f p99_gap_ms=%.1f ticks=%zu wall_s=%.2f bytes=%lld\n",
                job.c_str(), sorted.back(), p99, rec.Ticks.size(), wall, bytes);
    std::fflush(stdout);
    for (size_t i = 0; i < rec.Stages.size(); ++i) {
        const TStage& st = rec.Stages[i];
        const Clock::time_point until =
            i + 1 < rec.Stages.size() ? rec.Stages[i + 1].Start : rec.End;
        std::fprintf(stderr, "  %-8s %-14s %8.3f s  ticks %6d  longest gap ending here %8.1f ms\n",
                     job.c_str(), st.Name.c_str(),
                     std::chrono::duration<double>(until - st.Start).count(), st.Ticks,
                     st.LongestGapMs);
    }
    std::fprintf(stderr, "  %-8s longest gap %.1f ms from %.3f s (%s) to %s\n", job.c_str(),
                 rec.LongestMs, rec.LongestAtS, rec.LongestFrom.c_str(), rec.LongestTo.c_str());
    return 0;
}
