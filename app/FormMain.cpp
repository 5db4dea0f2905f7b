// Main window: layout, component ownership and the plain commands.
#include "app/FormMain.h"

#include "app/Dialogs.h"
#include "app/ErrorHandler.h"
#include "app/FormAbout.h"
#include "app/Icons.h"
#include "app/Launchers.h"
#include "ui_FormMain.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QToolBar>

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::TFormMain>()) {
    ui->setupUi(this);
    setWindowIcon(ProgramIcon());
    BuildBars();
    BindActions();
    // Client area 400 x 411 (bars included), centred on the screen.
    resize(400, 411);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TFormMain::~TFormMain() = default;

void TFormMain::BuildBars() {
    ui->ActionToolbarSend->setIcon(SendIcon());
    ui->ActionToolbarOptions->setIcon(OptionsIcon());
    ui->ActionVoiceRecord->setIcon(RecordIcon());
    ui->ActionVoicePlay->setIcon(PlayIcon());
    ui->ActionVoicePause->setIcon(PauseIcon());
    ui->ActionVoiceStop->setIcon(StopIcon());

    Panel1 = new QWidget(ui->ActionToolBar2);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedSize(151, 26);
    LabelLength = new QLabel("0", Panel1);
    LabelLength->setObjectName("LabelLength");
    LabelLength->setGeometry(0, 8, 33, 13);
    LabelLength->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ProgressBar1 = new QProgressBar(Panel1);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(40, 5, 97, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ui->ActionToolBar2->addWidget(Panel1);
}

void TFormMain::Bind(QAction* action, void (TFormMain::*handler)()) {
    // Errors that escape a command go to the application-wide handler.
    connect(action, &QAction::triggered, this,
            [this, handler] { GuardHandler([&] { (this->*handler)(); }); });
}

void TFormMain::BindActions() {
    Bind(ui->ActionFileExit, &TFormMain::ActionFileExitExecute);
    Bind(ui->ActionHelpAbout, &TFormMain::ActionHelpAboutExecute);
    Bind(ui->EditCut1, &TFormMain::EditCut1Execute);
    Bind(ui->EditCopy1, &TFormMain::EditCopy1Execute);
    Bind(ui->EditPaste1, &TFormMain::EditPaste1Execute);
    connect(ui->HelpContents1, &QAction::triggered, this, [] { GuardHandler(ShowHelp); });
    connect(ui->ActionHelpWebsite, &QAction::triggered, this, [] { GuardHandler(OpenHomePage); });
    connect(ui->ActionHelpContactUs, &QAction::triggered, this,
            [] { GuardHandler(OpenSupportMail); });
    // The edit shortcuts act on the memo whichever field has the focus.
    for (QAction* a : {ui->EditCut1, ui->EditCopy1, ui->EditPaste1})
        a->setShortcutContext(Qt::WindowShortcut);
}

void TFormMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    LayoutClientPanel();
}

// The edits stretch to the right and the memo in both directions, keeping
// the margins they have at the design size.
void TFormMain::LayoutClientPanel() {
    QWidget* client = ui->PanelClient;
    int w = client->width(), h = client->height();
    if (w <= 0 || h <= 0)
        return;
    for (QWidget* edit : {static_cast<QWidget*>(ui->EditTo), static_cast<QWidget*>(ui->EditCc),
                          static_cast<QWidget*>(ui->EditSubject)}) {
        QRect g = edit->geometry();
        edit->setGeometry(g.x(), g.y(), std::max(40, w - g.x() - 8), g.height());
    }
    QRect m = ui->MemoContent->geometry();
    ui->MemoContent->setGeometry(m.x(), m.y(), std::max(40, w - m.x() - 7),
                                 std::max(40, h - m.y() - 13));
}

void TFormMain::ActionFileExitExecute() {
    QApplication::quit();
}

void TFormMain::ActionHelpAboutExecute() {
    // A fresh box each time, owned by this window until it is released.
    auto* about = new TFormAbout(this);
    about->setAttribute(Qt::WA_DeleteOnClose, false);
    Dialogs().ExecModal(about);
    about->deleteLater();
}

void TFormMain::EditCut1Execute() {
    ui->MemoContent->cut();
}
void TFormMain::EditCopy1Execute() {
    ui->MemoContent->copy();
}
void TFormMain::EditPaste1Execute() {
    ui->MemoContent->paste();
}

QWidget* TFormMain::ScreenshotWindow(const std::string& /*which*/) {
    return nullptr;
}
