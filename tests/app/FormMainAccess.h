// The window tests' way to the main window's controls and components,
// which the program itself keeps private to the window.
#pragma once

#include "app/FormMain.h"
#include "app/FormOutbox.h"
#include "app/LevelMeter.h"
#include "app/OutboxScheduler.h"
#include "ui_FormMain.h"
#include "workflow/SendWorkflow.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <memory>

struct TFormMainTestAccess {
    static Ui::TFormMain* UiOf(TFormMain& m) { return m.ui.get(); }
    static TSendWorkflow& WorkflowOf(TFormMain& m) { return *m.Workflow; }
    static TAudio* AudioOf(TFormMain& m) { return m.Audio1.get(); }
    static QTimer* TimerOf(TFormMain& m) { return m.Timer1.get(); }
    static QLabel* LengthLabelOf(TFormMain& m) { return m.LabelLength; }
    static QLabel* TakeLabelOf(TFormMain& m) { return m.LabelTake; }
    static QProgressBar* ProgressOf(TFormMain& m) { return m.ProgressBar1; }
    static TLevelMeter* MeterOf(TFormMain& m) { return m.LevelMeter1; }
    static TOutboxScheduler& SchedulerOf(TFormMain& m) { return *m.Outbox; }
    static TFormOutbox* OutboxWindowOf(TFormMain& m) { return m.OutboxWindow; }
    static QLabel* OutboxLabelOf(TFormMain& m) { return m.LabelOutbox; }
    // A workflow whose outbox retries on schedule, with the settings kept.
    static void UseRetrySchedule(TFormMain& m, const TRetrySchedule& schedule) {
        const TSendSettings settings = m.Workflow->Settings();
        m.CreateWorkflow(&schedule);
        m.Workflow->ApplySettings(settings);
    }
};

inline TFormMain& FormOf(TFormMain& m) {
    return m;
}
inline TFormMain& FormOf(TFormMain* m) {
    return *m;
}
inline TFormMain& FormOf(const std::unique_ptr<TFormMain>& m) {
    return *m;
}
template <typename T> Ui::TFormMain* UiOf(T&& m) {
    return TFormMainTestAccess::UiOf(FormOf(m));
}
template <typename T> TSendWorkflow& WorkflowOf(T&& m) {
    return TFormMainTestAccess::WorkflowOf(FormOf(m));
}
template <typename T> TAudio* AudioOf(T&& m) {
    return TFormMainTestAccess::AudioOf(FormOf(m));
}
template <typename T> QTimer* TimerOf(T&& m) {
    return TFormMainTestAccess::TimerOf(FormOf(m));
}
template <typename T> QLabel* LengthLabelOf(T&& m) {
    return TFormMainTestAccess::LengthLabelOf(FormOf(m));
}
template <typename T> QLabel* TakeLabelOf(T&& m) {
    return TFormMainTestAccess::TakeLabelOf(FormOf(m));
}
template <typename T> QProgressBar* ProgressOf(T&& m) {
    return TFormMainTestAccess::ProgressOf(FormOf(m));
}
template <typename T> TLevelMeter* MeterOf(T&& m) {
    return TFormMainTestAccess::MeterOf(FormOf(m));
}
template <typename T> TOutboxScheduler& SchedulerOf(T&& m) {
    return TFormMainTestAccess::SchedulerOf(FormOf(m));
}
template <typename T> TFormOutbox* OutboxWindowOf(T&& m) {
    return TFormMainTestAccess::OutboxWindowOf(FormOf(m));
}
template <typename T> QLabel* OutboxLabelOf(T&& m) {
    return TFormMainTestAccess::OutboxLabelOf(FormOf(m));
}
