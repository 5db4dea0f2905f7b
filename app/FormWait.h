// TFormWait: the frameless "please wait" window the send workflow shows
// while it works: its text, a progress bar and a Cancel button (Esc too).
// It cannot be closed by the user; only the workflow hides it.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace Ui {
class TFormWait;
}

class TFormWait : public QWidget {
    Q_OBJECT
public:
    explicit TFormWait(QWidget* mainWindow);
    ~TFormWait() override;

    void SetText(const std::string& text);
    std::string Text() const;
    // Shows the window centred over the main window without making it modal.
    void ShowWait();
    // Paints the window now, so the new text shows before the step runs.
    void RepaintNow();
    // done of total; total 0 shows an empty bar.
    void SetProgress(int64_t done, int64_t total);
    int Progress() const; // per mille

    // Cancel button or Esc.
    std::function<void()> OnCancel;

    std::unique_ptr<Ui::TFormWait> ui;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* MainWindow;
};

// The one wait window of the program (created at start-up, after the main window).
TFormWait* FormWait();
void SetFormWait(TFormWait* form);
