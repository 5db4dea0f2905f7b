// What the window tests check of a window's accessibility: a walk through
// the tree an accessibility client sees (every control, and whatever takes
// the keyboard, must have a name), the access keys of each window and each of
// its pages (no letter twice), and the contrast of the colours a widget
// paints its text with.
#pragma once

#include "app/Contrast.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStackedWidget>
#include <QTabWidget>
#include <QWidget>
#include <map>
#include <set>
#include <string>
#include <vector>

struct TAccessWalk {
    int Windows = 0;
    int Checked = 0;
    std::vector<std::string> Unnamed;
    std::vector<std::string> Clashes;
    std::set<QObject*> Seen;
};

inline std::string AccessPath(QAccessibleInterface* iface) {
    QObject* o = iface->object();
    std::string path;
    for (QObject* p = o; p; p = p->parent())
        path = (p->objectName().isEmpty() ? std::string(p->metaObject()->className())
                                          : p->objectName().toStdString()) +
               (path.empty() ? "" : "/" + path);
    return path + " (role " + std::to_string(iface->role()) + ")";
}

// What a user works or reads a value from, focusable or not (a tool
// button takes no focus, the level meter neither).
inline bool IsControl(QAccessible::Role role) {
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::ProgressBar:
    case QAccessible::Slider:
    case QAccessible::SpinBox:
    case QAccessible::Link:
    case QAccessible::ButtonMenu:
    case QAccessible::PageTabList:
    case QAccessible::Table:
        return true;
    default:
        return false;
    }
}

// A name of its own that is more than its value, or a label that names it
// (on Linux Qt names a list by its current choice and gives the label as a
// relation, which is what a screen reader reads).
inline bool IsNamed(QAccessibleInterface* iface) {
    const QString name = iface->text(QAccessible::Name).trimmed();
    if (!name.isEmpty() && (iface->role() != QAccessible::ComboBox ||
                            name != iface->text(QAccessible::Value).trimmed()))
        return true;
    for (const auto& [label, relation] : iface->relations(QAccessible::Label))
        if (label && !label->text(QAccessible::Name).trimmed().isEmpty())
            return true;
    return false;
}

// Every visible control, and whatever else takes the keyboard, through
// child() from the window down, as a screen reader finds it.
inline void WalkAccessible(QAccessibleInterface* iface, TAccessWalk& walk) {
    if (!iface || !iface->isValid() || iface->state().invisible)
        return;
    QObject* o = iface->object();
    // Items of a view are named by what they hold; the view is checked.
    if (o && o->isWidgetType() && (iface->state().focusable || IsControl(iface->role())) &&
        !walk.Seen.count(o)) {
        walk.Seen.insert(o);
        ++walk.Checked;
        if (!IsNamed(iface))
            walk.Unnamed.push_back(AccessPath(iface));
    }
    for (int i = 0; i < iface->childCount(); ++i)
        WalkAccessible(iface->child(i), walk);
}

// The Alt+letter of a text with an access key; 0 without one.
inline int AccessKey(const QString& text) {
    const QKeySequence key = QKeySequence::mnemonic(text);
    return key.isEmpty() ? 0 : key[0].key();
}

// The page of a tab widget the widget lies on; nullptr for the window.
inline QWidget* PageOf(QWidget* w) {
    for (QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        if (qobject_cast<QStackedWidget*>(p->parentWidget()) &&
            qobject_cast<QTabWidget*>(p->parentWidget()->parentWidget()))
            return p;
    return nullptr;
}

inline void CheckAccessKeys(QWidget& window, TAccessWalk& walk) {
    // Keys by page; the window's own (nullptr) work on every page.
    std::map<QWidget*, std::multimap<int, std::string>> keys;
    auto add = [&](QWidget* page, const QString& text) {
        if (const int key = AccessKey(text))
            keys[page].emplace(key, text.toStdString());
    };
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (w->window() != &window)
            continue; // a window of its own, checked by itself
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            add(PageOf(w), button->text());
        else if (auto* label = qobject_cast<QLabel*>(w); label && label->buddy())
            add(PageOf(w), label->text());
        else if (auto* box = qobject_cast<QGroupBox*>(w); box && box->isCheckable())
            add(PageOf(w), box->title());
        else if (auto* tabs = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < tabs->count(); ++i)
                add(PageOf(w), tabs->tabText(i));
        else if (auto* bar = qobject_cast<QMenuBar*>(w))
            for (QAction* a : bar->actions())
                add(nullptr, a->text());
    }
    auto clashes = [&](const std::multimap<int, std::string>& all, const std::string& where) {
        for (auto it = all.begin(); it != all.end(); it = all.upper_bound(it->first))
            if (all.count(it->first) > 1) {
                std::string texts;
                for (auto [b, e] = all.equal_range(it->first); b != e; ++b)
                    texts += " '" + b->second + "'";
                walk.Clashes.push_back(where + ":" + texts);
            }
    };
    const std::string name = window.objectName().toStdString();
    clashes(keys[nullptr], name);
    for (const auto& [page, own] : keys) {
        if (!page)
            continue;
        std::multimap<int, std::string> all = keys[nullptr];
        all.insert(own.begin(), own.end());
        clashes(all, name + "/" + page->objectName().toStdString());
    }
    // Each menu is a window of its own while it is open.
    for (QMenu* menu : window.findChildren<QMenu*>()) {
        if (menu->parentWidget() && menu->parentWidget()->window() != &window)
            continue;
        std::multimap<int, std::string> all;
        for (QAction* a : menu->actions())
            if (const int key = AccessKey(a->text()))
                all.emplace(key, a->text().toStdString());
        clashes(all, name + "/" + menu->objectName().toStdString());
    }
}

// The window's tree on each of its tab pages in turn, and its access keys.
inline void WalkWindow(QWidget& window, TAccessWalk& walk) {
    window.show();
    ++walk.Windows;
    QList<QTabWidget*> tabs = window.findChildren<QTabWidget*>();
    QTabWidget* pages = tabs.isEmpty() ? nullptr : tabs.first();
    const int count = pages ? pages->count() : 1;
    for (int i = 0; i < count; ++i) {
        if (pages)
            pages->setCurrentIndex(i);
        WalkAccessible(QAccessible::queryAccessibleInterface(&window), walk);
    }
    CheckAccessKeys(window, walk);
}

// The contrast of the text colour a widget paints with against the
// background it is painted on (its own when it fills it, else the nearest
// parent's that does, else its window's).
inline double TextContrast(const QWidget& w) {
    const QColor text = w.palette().color(w.foregroundRole());
    const QWidget* filled = &w;
    while (!filled->isWindow() && !filled->autoFillBackground())
        filled = filled->parentWidget();
    const QColor background = filled->palette().color(filled->backgroundRole());
    return ContrastRatio(text, background);
}
