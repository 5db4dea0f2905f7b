// Screenshot mode; see Screenshot.h. Windows: main, about, wait, options,
// options-account, recording, outbox.
#include "app/Screenshot.h"

#include "app/FormAbout.h"
#include "app/FormMain.h"
#include "app/FormWait.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

static void SaveAndQuit(QWidget* w, const std::string& file) {
    QApplication::processEvents();
    if (!w->grab().save(QString::fromStdString(file), "PNG"))
        std::fprintf(stderr, "could not save %s\n", file.c_str());
    QApplication::quit();
}

bool ArmScreenshot(TFormMain* main) {
    const char* window = std::getenv("QUILLET_SCREENSHOT_WINDOW");
    const char* file = std::getenv("QUILLET_SCREENSHOT_FILE");
    if (!window || !file || !*window || !*file)
        return false;
    std::string which = window, out = file;
    QTimer::singleShot(400, main, [main, which, out] {
        if (which == "about") {
            auto* about = new TFormAbout(main);
            about->show();
            QTimer::singleShot(300, about, [about, out] { SaveAndQuit(about, out); });
        } else if (which == "wait") {
            TFormWait* wait = FormWait();
            wait->SetText("Sending, please wait...");
            wait->ShowWait();
            QTimer::singleShot(300, wait, [wait, out] { SaveAndQuit(wait, out); });
        } else if (QWidget* extra = main->ScreenshotWindow(which)) {
            QTimer::singleShot(1200, extra, [extra, out] { SaveAndQuit(extra, out); });
        } else {
            SaveAndQuit(main, out);
        }
    });
    return true;
}
