// About box: its links and buttons call the launchers; OK (Enter or Esc)
// closes it.
#include "app/FormAbout.h"

#include "app/ErrorHandler.h"
#include "app/FitTexts.h"
#include "app/Icons.h"
#include "app/Launchers.h"
#include "ui_FormAbout.h"

TFormAbout::TFormAbout(QWidget* owner) : QDialog(owner), ui(std::make_unique<Ui::TFormAbout>()) {
    ui->setupUi(this);
    setFixedSize(314, 214);
    GrowToFitTexts(this);
    ui->Image1->setPixmap(ProgramIcon().pixmap(32, 32));
    connect(ui->OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    // The links open through the same launchers as the Help menu (the
    // desktop's "open" verb), not through Qt's own URL handling.
    connect(ui->LinkHomepage, &QLabel::linkActivated, this,
            [] { GuardHandler([] { OpenHomePage(); }); });
    connect(ui->LinkEmail, &QLabel::linkActivated, this,
            [] { GuardHandler([] { OpenSupportMail(); }); });
    connect(ui->ButtonHelp, &QPushButton::clicked, this, [] { GuardHandler([] { ShowHelp(); }); });
}

TFormAbout::~TFormAbout() = default;
