// Application-wide error handler; see ErrorHandler.h.
#include "app/ErrorHandler.h"

#include "app/Dialogs.h"
#include "base/Exception.h"
#include "base/Translate.h"

#include <exception>

std::string ErrorBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

void ShowErrorBox(const std::string& message) {
    Dialogs().MessageBox(QApplication::activeWindow(), ErrorBoxText(message), "Quillet",
                         TMsgIcon::Error, TMsgButtons::Ok);
}

void ShowCurrentException() {
    try {
        throw;
    } catch (const Exception& e) {
        ShowErrorBox(e.Message);
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
    } catch (...) {
        ShowErrorBox(Tr("ErrorHandler", "Unknown error"));
    }
}

TQuilletApplication::TQuilletApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TQuilletApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
        return true;
    }
}
