// Wait window; see FormWait.h.
#include "app/FormWait.h"

#include "app/FitTexts.h"
#include "app/TextCodec.h"
#include "ui_FormWait.h"

#include <algorithm>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>

namespace {
TFormWait* TheFormWait = nullptr;
}

TFormWait* FormWait() {
    return TheFormWait;
}
void SetFormWait(TFormWait* form) {
    TheFormWait = form;
}

TFormWait::TFormWait(QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Tool | Qt::FramelessWindowHint),
      ui(std::make_unique<Ui::TFormWait>()), MainWindow(mainWindow) {
    ui->setupUi(this);
    setFixedSize(260, 112);
    GrowToFitTexts(this);
    connect(ui->ButtonCancel, &QPushButton::clicked, this, [this] {
        if (OnCancel)
            OnCancel();
    });
}

TFormWait::~TFormWait() = default;

void TFormWait::SetText(const std::string& text) {
    ui->LabelWait->setText(ToQt(text));
}

std::string TFormWait::Text() const {
    return FromQt(ui->LabelWait->text());
}

void TFormWait::ShowWait() {
    if (MainWindow) {
        QRect g = MainWindow->frameGeometry();
        move(g.center() - QPoint(width() / 2, height() / 2));
    }
    show();
}

void TFormWait::SetProgress(int64_t done, int64_t total) {
    int value = total > 0 ? static_cast<int>(std::clamp<int64_t>(done * 1000 / total, 0, 1000)) : 0;
    if (value != ui->ProgressWait->value())
        ui->ProgressWait->setValue(value);
}

int TFormWait::Progress() const {
    return ui->ProgressWait->value();
}

void TFormWait::RepaintNow() {
    repaint();
    // Let the window system map the window and show the new text.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TFormWait::closeEvent(QCloseEvent* event) {
    // The user cannot close it (Cancel is the way out), but the program's
    // own quit closes every window and must not be held up by this one.
    if (event->spontaneous())
        event->ignore();
    else
        event->accept();
}

void TFormWait::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && OnCancel) {
        OnCancel();
        return;
    }
    event->ignore();
}
