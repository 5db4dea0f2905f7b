// About box: its buttons call the launchers; OK (Enter or Esc) closes it.
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
    connect(ui->SpeedButtonHomepage, &QPushButton::clicked, this,
            [] { GuardHandler([] { OpenHomePage(); }); });
    connect(ui->SpeedButtonEmail, &QPushButton::clicked, this,
            [] { GuardHandler([] { OpenSupportMail(); }); });
    connect(ui->ButtonHelp, &QPushButton::clicked, this, [] { GuardHandler([] { ShowHelp(); }); });
}

TFormAbout::~TFormAbout() = default;
