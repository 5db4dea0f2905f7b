// The input level meter of the voice toolbar: the peak of each recorded
// buffer in dBFS (-60 to 0), handed from the audio driver thread to the GUI
// thread through an atomic, and a bar with a one-second peak hold that then
// falls back.
#pragma once

#include <QWidget>
#include <atomic>
#include <cstddef>
#include <cstdint>

// The floor of the scale: silence and anything quieter read as this.
constexpr double MeterFloorDb = -60.0;

// The peak of 8-bit unsigned or 16-bit signed little-endian samples, in
// dBFS clamped to [-60, 0]. Any thread.
double PeakDbfs(const uint8_t* data, size_t size, bool sixteenBit);

// The loudest peak offered since the last Take.
class TPeakMailbox {
public:
    // Driver thread.
    void Offer(double db);
    // GUI thread: the loudest offer and a fresh start; the floor when none.
    double Take();
    // The sample format of the buffers, set by the GUI thread before a take.
    std::atomic<bool> SixteenBit{false};

private:
    static constexpr int32_t None = -6000; // hundredths of a dB
    std::atomic<int32_t> Peak{None};
};

// The bar's level falls by FallDbPerSecond; the hold keeps the loudest peak
// for HoldMs, then falls by the same rate. Times from any millisecond
// counter (unsigned differences survive a wrap).
class TPeakHold {
public:
    static constexpr uint32_t HoldMs = 1000;
    static constexpr double FallDbPerSecond = 30.0;

    void Reset();
    void Update(double peakDb, uint32_t nowMs);
    double Level() const { return LevelDb; }
    double Hold() const { return HoldDb; }

private:
    double LevelDb = MeterFloorDb;
    double HoldDb = MeterFloorDb;
    uint32_t LastMs = 0;
    uint32_t HoldSinceMs = 0;
    bool Started = false;
};

// Paints a TPeakHold: the level as a bar, the hold as a mark. GUI thread.
class TLevelMeter : public QWidget {
public:
    explicit TLevelMeter(QWidget* parent);
    void Reset();
    void Update(double peakDb, uint32_t nowMs);
    const TPeakHold& Peaks() const { return State; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TPeakHold State;
};
