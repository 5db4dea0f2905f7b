// The options dialog's input level; see InputMonitor.h.
#include "app/InputMonitor.h"

#include "audio/Audio.h"

#include <algorithm>

TInputMonitor::TInputMonitor(TWaveDeviceService* service) : Service(service) {}

TInputMonitor::~TInputMonitor() {
    Stop();
}

bool TInputMonitor::Start(const std::string& device, uint16_t rate) {
    Stop();
    Audio = std::make_unique<TAudio>(Service);
    TRecorder* r = Audio->Recorder();
    r->SetBitsPerSample(TBPS::_16);
    r->SetSampleRate(rate);
    // Twenty buffers a second: the meter follows the voice.
    r->SetNoSamples(static_cast<uint16_t>(std::max(64, rate / 20)));
    Audio->SetInputDevice(device);
    Peaks.SixteenBit = true;
    Peaks.Take();
    // Driver thread: only the number crosses to the GUI thread.
    Audio->OnRecord = [this](TRecorder*, uint8_t* lp, uint8_t*, uint16_t size) {
        Peaks.Offer(PeakDbfs(lp, size, true));
    };
    if (r->Start()) {
        ErrorText.clear();
        return true;
    }
    ErrorText = Audio->ErrorMessage();
    Stop();
    return false;
}

void TInputMonitor::Stop() {
    if (!Audio)
        return;
    Audio->Recorder()->Stop();
    Audio.reset();
}
