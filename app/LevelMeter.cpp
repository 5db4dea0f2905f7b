// The input level meter: per-buffer peaks in dBFS, the driver-to-GUI
// mailbox, the hold-and-fall state and its painting.
#include "app/LevelMeter.h"

#include <QCoreApplication>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>

double PeakDbfs(const uint8_t* data, size_t size, bool sixteenBit) {
    int peak = 0, full = 128;
    if (sixteenBit) {
        full = 32768;
        for (size_t i = 0; i + 1 < size; i += 2) {
            auto s = static_cast<int16_t>(static_cast<uint16_t>(data[i] | (data[i + 1] << 8)));
            peak = std::max(peak, std::abs(static_cast<int>(s)));
        }
    } else {
        for (size_t i = 0; i < size; ++i)
            peak = std::max(peak, std::abs(static_cast<int>(data[i]) - 128));
    }
    if (peak == 0)
        return MeterFloorDb;
    double db = 20.0 * std::log10(static_cast<double>(peak) / full);
    return std::clamp(db, MeterFloorDb, 0.0);
}

void TPeakMailbox::Offer(double db) {
    auto v = static_cast<int32_t>(std::lround(db * 100));
    int32_t seen = Peak.load(std::memory_order_relaxed);
    while (v > seen && !Peak.compare_exchange_weak(seen, v, std::memory_order_relaxed)) {
    }
}

double TPeakMailbox::Take() {
    return Peak.exchange(None, std::memory_order_relaxed) / 100.0;
}

void TPeakHold::Reset() {
    *this = TPeakHold();
}

void TPeakHold::Update(double peakDb, uint32_t nowMs) {
    peakDb = std::clamp(peakDb, MeterFloorDb, 0.0);
    if (Started) {
        const double fall = (nowMs - LastMs) * FallDbPerSecond / 1000.0;
        LevelDb = std::max(MeterFloorDb, LevelDb - fall);
        const uint32_t held = nowMs - HoldSinceMs;
        if (held > HoldMs) {
            // Falls from the end of its hold time, not from the last update.
            const uint32_t fallingMs = std::min(held - HoldMs, nowMs - LastMs);
            HoldDb = std::max(MeterFloorDb, HoldDb - fallingMs * FallDbPerSecond / 1000.0);
        }
    }
    Started = true;
    LastMs = nowMs;
    LevelDb = std::max(LevelDb, peakDb);
    if (peakDb >= HoldDb) {
        HoldDb = peakDb;
        HoldSinceMs = nowMs;
    }
}

TLevelMeter::TLevelMeter(QWidget* parent) : QWidget(parent) {
    setObjectName("LevelMeter1");
    setToolTip(QCoreApplication::translate("TLevelMeter", "Input level"));
}

void TLevelMeter::Reset() {
    State.Reset();
    update();
}

void TLevelMeter::Update(double peakDb, uint32_t nowMs) {
    State.Update(peakDb, nowMs);
    update();
}

void TLevelMeter::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.fillRect(r, palette().base());
    auto x = [&](double db) {
        return static_cast<int>(std::lround((db - MeterFloorDb) / -MeterFloorDb * r.width()));
    };
    const int level = x(State.Level());
    const QColor bar = State.Level() > -3    ? QColor(200, 40, 40)
                       : State.Level() > -12 ? QColor(220, 170, 30)
                                             : QColor(50, 160, 60);
    if (level > 0)
        p.fillRect(QRect(r.left(), r.top(), level, r.height()), bar);
    if (State.Hold() > MeterFloorDb) {
        const int hold = std::max(1, x(State.Hold()));
        p.fillRect(QRect(r.left() + hold - 1, r.top(), 2, r.height() + 1), palette().text());
    }
    p.setPen(palette().mid().color());
    p.drawRect(r);
}
