// TFormOptions: the modal options dialog. It fills its fields from the
// settings file when created, writes every key back on OK and then makes
// the main window reload its settings. Cancel writes nothing.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class TFormOptions;
}

class TFormOptions : public QDialog {
    Q_OBJECT
public:
    // loadSettings: the main window's LoadSettings, run after a confirmed write.
    TFormOptions(QWidget* owner, std::function<void()> loadSettings);
    ~TFormOptions() override;

    std::unique_ptr<Ui::TFormOptions> ui;

    void ButtonOKClick();
    void ButtonHelpClick();
    void RadioButtonSMTPClick();
    void RadioButtonMAPIClick();
    void RadioButtonSMTPRelayClick();
    void ComboBoxSecurityChange();
    // "..." beside the CA field: picks the file through TDialogs.
    void ButtonCAFileClick();

private:
    void ReadSettings();
    // False, with a message naming the field, when Port or Timeout is out
    // of range.
    bool CheckNumbers();
    void WriteSettings();
    void SetServerFieldsEnabled(bool enabled);

    std::function<void()> LoadSettings;
};
