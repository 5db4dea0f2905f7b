// The application-wide error handler: errors that escape an event handler
// are shown in an error box captioned with the application title, and the
// event loop goes on.
#pragma once

#include <QApplication>
#include <string>

class QWidget;

// The text the error box shows: "." appended when the last character sorts
// after "." (letters, digits, ...); "!" or "." or ")" endings stay as they are.
std::string ErrorBoxText(const std::string& message);

// Shows message in the error box.
void ShowErrorBox(const std::string& message);

// Runs handler and shows any error it raises in the error box; returns
// false when it raised. Used where Qt would not route the call through
// notify (callbacks run outside event delivery).
template <typename F> bool GuardHandler(F&& handler);

class TQuilletApplication : public QApplication {
public:
    TQuilletApplication(int& argc, char** argv);
    // Catches every exception that a receiver's handler raises.
    bool notify(QObject* receiver, QEvent* event) override;
};

void ShowCurrentException();

template <typename F> bool GuardHandler(F&& handler) {
    try {
        handler();
        return true;
    } catch (...) {
        ShowCurrentException();
        return false;
    }
}
