// Simple vector icons painted into pixmaps. The toolbar's glyphs keep their
// hue but stand out 3:1 from the desktop palette's window colour (what WCAG
// 2.1 asks of graphics), so a dark theme shows them too.
#include "app/Icons.h"

#include "app/Contrast.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <functional>

namespace {

QIcon Paint(const std::function<void(QPainter&, int)>& draw) {
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p, size);
        icon.addPixmap(pm);
    }
    return icon;
}

// A glyph's colour as the current palette's window shows it.
QColor Visible(const QColor& colour) {
    return WithContrast(colour, QGuiApplication::palette().color(QPalette::Window), 3.0);
}

} // namespace

QIcon RecordIcon() {
    return Paint([](QPainter& p, int s) {
        p.setPen(Qt::NoPen);
        p.setBrush(Visible(QColor(200, 30, 30)));
        p.drawEllipse(QRectF(s * 0.15, s * 0.15, s * 0.7, s * 0.7));
    });
}

QIcon PlayIcon() {
    return Paint([](QPainter& p, int s) {
        p.setPen(Qt::NoPen);
        p.setBrush(Visible(QColor(30, 140, 40)));
        QPolygonF tri;
        tri << QPointF(s * 0.25, s * 0.15) << QPointF(s * 0.85, s * 0.5)
            << QPointF(s * 0.25, s * 0.85);
        p.drawPolygon(tri);
    });
}

QIcon PauseIcon() {
    return Paint([](QPainter& p, int s) {
        p.setPen(Qt::NoPen);
        p.setBrush(Visible(QColor(40, 70, 160)));
        p.drawRect(QRectF(s * 0.2, s * 0.15, s * 0.2, s * 0.7));
        p.drawRect(QRectF(s * 0.6, s * 0.15, s * 0.2, s * 0.7));
    });
}

QIcon StopIcon() {
    return Paint([](QPainter& p, int s) {
        p.setPen(Qt::NoPen);
        p.setBrush(Visible(QColor(60, 60, 60)));
        p.drawRect(QRectF(s * 0.2, s * 0.2, s * 0.6, s * 0.6));
    });
}

QIcon SendIcon() {
    return Paint([](QPainter& p, int s) {
        QRectF env(s * 0.08, s * 0.25, s * 0.84, s * 0.55);
        p.setPen(QPen(QColor(40, 40, 110), s / 16.0));
        p.setBrush(QColor(250, 240, 200));
        p.drawRect(env);
        QPainterPath flap;
        flap.moveTo(env.topLeft());
        flap.lineTo(env.center().x(), env.top() + env.height() * 0.55);
        flap.lineTo(env.topRight());
        p.drawPath(flap);
    });
}

QIcon OptionsIcon() {
    return Paint([](QPainter& p, int s) {
        p.setPen(QPen(Visible(QColor(90, 90, 90)), s / 8.0, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 3; ++i) {
            double y = s * (0.25 + 0.25 * i);
            p.drawLine(QPointF(s * 0.15, y), QPointF(s * 0.85, y));
        }
        p.setBrush(Visible(QColor(230, 150, 30)));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(s * 0.35, s * 0.25), s * 0.1, s * 0.1);
        p.drawEllipse(QPointF(s * 0.65, s * 0.5), s * 0.1, s * 0.1);
        p.drawEllipse(QPointF(s * 0.45, s * 0.75), s * 0.1, s * 0.1);
    });
}

QIcon ProgramIcon() {
    return Paint([](QPainter& p, int s) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 90, 170));
        p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.2, s * 0.2);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(s * 0.38, s * 0.15, s * 0.24, s * 0.45), s * 0.12, s * 0.12);
        p.setPen(QPen(Qt::white, s / 16.0));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(s * 0.28, s * 0.3, s * 0.44, s * 0.42), 200 * 16, 140 * 16);
        p.drawLine(QPointF(s * 0.5, s * 0.72), QPointF(s * 0.5, s * 0.85));
    });
}
