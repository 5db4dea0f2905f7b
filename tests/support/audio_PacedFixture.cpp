// See audio_PacedFixture.h.
#include "tests/support/audio_PacedFixture.h"

#include "tests/support/audio_WavBytes.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

TPacedFixture::TPacedFixture(const std::string& path, const std::string& lead) {
    mkfifo(path.c_str(), 0600);
    Feeder = std::thread([this, path, lead] {
        // A reader that closes makes the write fail with EPIPE; the signal
        // it would raise must not end the test.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        const std::string piece = WavBytes(1).substr(44, 2600);
        bool leadSent = lead.empty();
        int fd = -1;
        while (!Stop) {
            if (fd < 0)
                fd = open(path.c_str(), O_WRONLY | O_NONBLOCK); // ENXIO until a reader
            if (fd < 0) {
                // A device just opened gets its first period at once.
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            {
                const std::string& next = leadSent ? piece : lead;
                if (write(fd, next.data(), next.size()) < 0 && errno == EPIPE) {
                    close(fd);
                    fd = -1;
                } else {
                    leadSent = true;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
        if (fd >= 0)
            close(fd);
    });
}

TPacedFixture::~TPacedFixture() {
    Stop = true;
    Feeder.join();
}
