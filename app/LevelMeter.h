// The input level meter of the voice toolbar: the peak of each recorded
// buffer in dBFS (-60 to 0), handed from the audio driver thread to the GUI
// thread through an atomic, and a bar with a one-second peak hold that then
// falls back. Screen readers read the held peak as the meter's value.
#pragma once

#include <QColor>
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

// The bar's colour at a level: green, amber above -12 dB, red above -3 dB,
// each made to stand out from the background by 3:1 (what WCAG 2.1 asks of
// graphics), so that a dark palette shows them as well as a light one.
QColor MeterColour(double levelDb, const QColor& background);

// Paints a TPeakHold: the level as a bar, the hold as a mark. To
// accessibility clients it is a read-only value from -60 to 0 (the held
// peak in whole dB); a change is announced at most every ReportEveryMs of
// the times Update is given, so a screen reader is not flooded. GUI thread.
class TLevelMeter : public QWidget {
    Q_OBJECT
public:
    static constexpr uint32_t ReportEveryMs = 500;

    explicit TLevelMeter(QWidget* parent);
    void Reset();
    void Update(double peakDb, uint32_t nowMs);
    const TPeakHold& Peaks() const { return State; }
    int AccessibleValue() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Announces the value when it changed, and the last announcement is
    // ReportEveryMs old or now is set.
    void ReportValue(uint32_t nowMs, bool now);

    TPeakHold State;
    int ReportedDb = static_cast<int>(MeterFloorDb);
    uint32_t ReportedMs = 0;
};
