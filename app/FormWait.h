// TFormWait: the frameless "please wait" window the send workflow shows
// while it works. It has no behaviour of its own and cannot be closed by
// the user; only the workflow hides it.
#pragma once

#include <QWidget>
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
    // Paints the window now: the step after it blocks the GUI thread.
    void RepaintNow();

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
