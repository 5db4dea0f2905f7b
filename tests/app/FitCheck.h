// Every control of a window laid out at fixed positions lies inside its
// parent and shows its whole text.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <gtest/gtest.h>

inline void ExpectEveryControlFits(QWidget& window) {
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith("qt_") || !w->parentWidget() ||
            w->parentWidget()->objectName().startsWith("qt_"))
            continue;
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry()));
        // A push button's size hint has a floor of its own; its text counts.
        if (auto* button = qobject_cast<QPushButton*>(w)) {
            const QString text = button->text().remove('&');
            EXPECT_LE(button->fontMetrics().horizontalAdvance(text) + 8, button->width())
                << "its text is cut";
        } else if (qobject_cast<QRadioButton*>(w) ||
                   (qobject_cast<QLabel*>(w) && !qobject_cast<QLabel*>(w)->wordWrap())) {
            EXPECT_LE(w->sizeHint().width(), w->width() + 2) << "its text is cut";
        }
    }
}
