// TFormAbout: the about box, created anew at each opening and shown modally.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFormAbout;
}

class TFormAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* owner);
    ~TFormAbout() override;

    std::unique_ptr<Ui::TFormAbout> ui;
};
