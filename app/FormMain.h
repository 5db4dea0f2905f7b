// TFormMain: the program's main window. It holds the message fields and the
// voice recording controls, owns every long-lived component, and runs the
// voice recording state machine and the send workflow (FormMainSend.cpp).
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <memory>
#include <string>

namespace Ui {
class TFormMain;
}
class QAction;
class QLabel;
class QProgressBar;
class QWidget;

class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    std::unique_ptr<Ui::TFormMain> ui;
    // Lives in the voice toolbar's row: the length label and the progress bar.
    QWidget* Panel1 = nullptr;
    QLabel* LabelLength = nullptr;
    QProgressBar* ProgressBar1 = nullptr;

    // Screenshot mode: brings up the named state or dialog and returns the
    // widget to picture (nullptr for the plain main window).
    QWidget* ScreenshotWindow(const std::string& which);

    // Command handlers (GUI thread).
    void ActionFileExitExecute();
    void ActionHelpAboutExecute();
    void EditCut1Execute();
    void EditCopy1Execute();
    void EditPaste1Execute();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildBars();
    void BindActions();
    void Bind(QAction* action, void (TFormMain::*handler)());
    void LayoutClientPanel();
};
