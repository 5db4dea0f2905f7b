// The input level meter: per-buffer peaks in dBFS, the driver-to-GUI
// mailbox, the hold-and-fall state, its painting and its accessible value.
#include "app/LevelMeter.h"

#include "app/Contrast.h"

#include <QAccessibleValueChangeEvent>
#include <QAccessibleWidget>
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

namespace {

// The meter as screen readers see it: a progress bar whose value is the
// held peak. Its name is the tooltip unless an accessible name is set.
class TLevelMeterAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit TLevelMeterAccessible(TLevelMeter* meter)
        : QAccessibleWidget(meter, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return widget()->toolTip();
        if (t == QAccessible::Value)
            return QCoreApplication::translate("TLevelMeter", "%1 dB")
                .arg(Meter()->AccessibleValue());
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }

    QVariant currentValue() const override { return Meter()->AccessibleValue(); }
    void setCurrentValue(const QVariant&) override {} // it only shows
    QVariant maximumValue() const override { return 0; }
    QVariant minimumValue() const override { return static_cast<int>(MeterFloorDb); }
    QVariant minimumStepSize() const override { return 1; }

private:
    TLevelMeter* Meter() const { return static_cast<TLevelMeter*>(widget()); }
};

QAccessibleInterface* LevelMeterAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("TLevelMeter") && object && object->isWidgetType())
        return new TLevelMeterAccessible(static_cast<TLevelMeter*>(object));
    return nullptr;
}

} // namespace

QColor MeterColour(double levelDb, const QColor& background) {
    const QColor hue = levelDb > -3    ? QColor(200, 40, 40)
                       : levelDb > -12 ? QColor(220, 170, 30)
                                       : QColor(50, 160, 60);
    return WithContrast(hue, background, 3.0);
}

TLevelMeter::TLevelMeter(QWidget* parent) : QWidget(parent) {
    // Before any meter is asked for its interface.
    static const bool factory = (QAccessible::installFactory(LevelMeterAccessible), true);
    (void)factory;
    setObjectName("LevelMeter1");
    setToolTip(QCoreApplication::translate("TLevelMeter", "Input level"));
    setAccessibleDescription(QCoreApplication::translate(
        "TLevelMeter", "The loudest peak of the input in the last second, in dB below the "
                       "loudest sound a recording can hold"));
}

int TLevelMeter::AccessibleValue() const {
    return static_cast<int>(std::lround(State.Hold()));
}

void TLevelMeter::Reset() {
    State.Reset();
    update();
    ReportValue(ReportedMs, true);
}

void TLevelMeter::Update(double peakDb, uint32_t nowMs) {
    State.Update(peakDb, nowMs);
    update();
    ReportValue(nowMs, false);
}

void TLevelMeter::ReportValue(uint32_t nowMs, bool now) {
    const int db = AccessibleValue();
    if (db == ReportedDb || (!now && nowMs - ReportedMs < ReportEveryMs))
        return;
    ReportedDb = db;
    ReportedMs = nowMs;
    QAccessibleValueChangeEvent event(this, db);
    QAccessible::updateAccessibility(&event);
}

void TLevelMeter::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.fillRect(r, palette().base());
    auto x = [&](double db) {
        return static_cast<int>(std::lround((db - MeterFloorDb) / -MeterFloorDb * r.width()));
    };
    const int level = x(State.Level());
    const QColor bar = MeterColour(State.Level(), palette().base().color());
    if (level > 0)
        p.fillRect(QRect(r.left(), r.top(), level, r.height()), bar);
    if (State.Hold() > MeterFloorDb) {
        const int hold = std::max(1, x(State.Hold()));
        p.fillRect(QRect(r.left() + hold - 1, r.top(), 2, r.height() + 1), palette().text());
    }
    p.setPen(palette().mid().color());
    p.drawRect(r);
}
