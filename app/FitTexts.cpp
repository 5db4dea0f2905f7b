// Growing fixed layouts for longer texts; see FitTexts.h.
#include "app/FitTexts.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <algorithm>

namespace {

// The width the widget's text needs; 0 for widgets that hold no one-line
// text (a wrapping label makes its own lines). A push button's size hint
// has a floor of its own, so its text counts; the others may lose the 2
// pixels of their frame, as the English design does.
int NeededWidth(QWidget* w) {
    if (auto* button = qobject_cast<QPushButton*>(w))
        return button->text().isEmpty()
                   ? 0
                   : button->fontMetrics().horizontalAdvance(QString(button->text()).remove('&')) +
                         8;
    if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))
        return w->sizeHint().width() - 2;
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->wordWrap() || label->text().isEmpty() ? 0 : label->sizeHint().width() - 2;
    return 0;
}

// Widens w by grow; its siblings to its right, in its row, move along.
void Widen(QWidget* w, int grow) {
    const QRect g = w->geometry();
    for (QWidget* s : w->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect sg = s->geometry();
        if (s != w && !s->isWindow() && sg.left() >= g.right() && sg.top() <= g.bottom() &&
            sg.bottom() >= g.top())
            s->move(sg.x() + grow, sg.y());
    }
    w->resize(g.width() + grow, g.height());
}

// A container placed by hand whose children are placed by hand too.
bool IsFixedContainer(QWidget* w) {
    return !w->layout() &&
           (w->metaObject() == &QWidget::staticMetaObject || qobject_cast<QGroupBox*>(w) ||
            (qobject_cast<QFrame*>(w) && !qobject_cast<QLabel*>(w) &&
             !qobject_cast<QAbstractScrollArea*>(w)));
}

int RightEdge(const QList<QWidget*>& widgets) {
    int right = 0;
    for (QWidget* w : widgets)
        if (!w->isWindow())
            right = std::max(right, w->geometry().right());
    return right;
}

// Fits the texts among the container's children; returns how much wider
// the container must become to hold them.
int FitChildren(QWidget* container) {
    const QList<QWidget*> children = container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    const int before = RightEdge(children);
    for (QWidget* child : children) {
        if (child->isWindow())
            continue;
        int grow = 0;
        if (auto* tabs = qobject_cast<QTabWidget*>(child)) {
            for (int i = 0; i < tabs->count(); ++i)
                grow = std::max(grow, FitChildren(tabs->widget(i)));
        } else if (IsFixedContainer(child)) {
            grow = FitChildren(child);
        }
        grow = std::max(grow, NeededWidth(child) - child->width());
        if (grow > 0)
            Widen(child, grow);
    }
    return std::max(0, RightEdge(children) - before);
}

} // namespace

void GrowToFitTexts(QWidget* window) {
    const int grow = FitChildren(window);
    if (grow > 0)
        window->setFixedSize(window->width() + grow, window->height());
}
