// TFormOptions: the modal options dialog. It fills its fields from the
// settings file when created, writes every key back on OK and then makes
// the main window reload its settings. Cancel writes nothing. While its
// audio page is open, the chosen input device's level is shown live. On the
// account page it proposes the server settings for the address (leaving
// what the user typed alone) and runs the OAuth 2.0 sign-in in the browser.
#pragma once

#include "workflow/SendSettings.h"

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <set>

namespace Ui {
class TFormOptions;
}
class TInputMonitor;
class TOAuthCodeSignIn;
class TWaveDeviceService;

class TFormOptions : public QDialog {
    Q_OBJECT
public:
    // loadSettings: the main window's LoadSettings, run after a confirmed write.
    // waveService: the device layer whose capture devices are offered and
    // listened to; null selects ALSA.
    TFormOptions(QWidget* owner, std::function<void()> loadSettings,
                 TWaveDeviceService* waveService = nullptr);
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
    void ComboBoxAuthChange();
    // Proposes the account settings for the address (also when the
    // address is left with the server still empty).
    void ButtonFindSettingsClick();
    void LabeledEditEmailExit();
    // Starts the browser sign-in, or cancels the one running.
    void ButtonSignInClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void ReadSettings();
    // False, with a message naming the field, when Port or Timeout is out
    // of range.
    bool CheckNumbers();
    void WriteSettings();
    void SetServerFieldsEnabled(bool enabled);
    // Listens to the device in the field while the audio page is shown.
    void UpdateMonitor();
    void MeterTick();
    // The account as the fields show it, over the file's other keys.
    TSendSettings AccountSettings() const;
    void FindSettings();
    void EndSignIn(const std::string& message);

    std::function<void()> LoadSettings;
    TWaveDeviceService* WaveService;
    std::unique_ptr<TInputMonitor> Monitor;
    std::string Listening; // the device the monitor runs on; empty: none
    QTimer MeterTimer;
    TSendSettings FFile; // as read: the keys only the file holds
    // Fields a proposal filled (filled again by the next one), and fields
    // the user changed (never filled).
    std::set<QWidget*> FProposed, FTyped;
    std::unique_ptr<TOAuthCodeSignIn> FSignIn;
};
