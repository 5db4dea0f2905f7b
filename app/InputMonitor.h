// TInputMonitor: the live input level of the options dialog's audio page.
// It captures from one device without writing a file, only to measure the
// peaks (on the driver thread, handed over through a TPeakMailbox), and
// stops when the page is left. GUI thread.
#pragma once

#include "app/LevelMeter.h"

#include <memory>
#include <string>

class TAudio;
class TWaveDeviceService;

class TInputMonitor {
public:
    // service: the program's device layer; null selects ALSA.
    explicit TInputMonitor(TWaveDeviceService* service);
    ~TInputMonitor();

    // Listens to device in 16-bit mono at rate; false with the reason in Error().
    bool Start(const std::string& device, uint16_t rate);
    void Stop();
    // The loudest peak since the last call, in dBFS.
    double TakePeak() { return Peaks.Take(); }
    const std::string& Error() const { return ErrorText; }

private:
    TWaveDeviceService* Service;
    TPeakMailbox Peaks;
    std::unique_ptr<TAudio> Audio;
    std::string ErrorText;
};
