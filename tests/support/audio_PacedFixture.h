// Feeds the capture device's FIFO (QUILLET_ALSA_INFILE of the file-plugin
// configuration) at a device's pace, since the file plugin itself reads as
// fast as it is asked. It returns a whole period for every read, however
// little the FIFO held, so the pace comes from one piece per period (a
// quarter of the one-second capture buffer: 250 ms). lead goes first in one
// write, as a take that starts with known sound.
#pragma once

#include <atomic>
#include <string>
#include <thread>

class TPacedFixture {
public:
    explicit TPacedFixture(const std::string& path, const std::string& lead = "");
    ~TPacedFixture();
    TPacedFixture(const TPacedFixture&) = delete;
    TPacedFixture& operator=(const TPacedFixture&) = delete;

private:
    std::atomic<bool> Stop{false};
    std::thread Feeder;
};
