// TDialogs: the one way the program shows message boxes, modal dialogs and
// the file dialogs, so that tests can answer them without blocking.
// The installed instance is the desktop one unless a test replaces it.
#pragma once

#include <memory>
#include <string>

class QDialog;
class QMessageBox;
class QWidget;

enum class TMsgIcon { None, Information, Warning, Error };
enum class TMsgButtons { Ok, YesNo };
enum class TMsgResult { Ok, Yes, No };

class TDialogs {
public:
    virtual ~TDialogs() = default;
    virtual TMsgResult MessageBox(QWidget* parent, const std::string& text,
                                  const std::string& caption, TMsgIcon icon,
                                  TMsgButtons buttons) = 0;
    // Shows dialog modally; returns its result code (QDialog::Accepted or Rejected).
    virtual int ExecModal(QDialog* dialog) = 0;
    // The save dialog; filter in "Description|*.ext" form. False on cancel.
    virtual bool SaveFileName(QWidget* parent, const std::string& filter,
                              const std::string& defaultExt, std::string& fileName) = 0;
    // The open dialog for an existing file, starting at fileName; same
    // filter form. False on cancel; by default none is offered.
    virtual bool OpenFileName(QWidget* parent, const std::string& filter, std::string& fileName) {
        (void)parent;
        (void)filter;
        (void)fileName;
        return false;
    }
};

// The desktop message box, set up but not shown; its text is plain text.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const std::string& text,
                                            const std::string& caption, TMsgIcon icon,
                                            TMsgButtons buttons);

// The installed instance (the desktop one by default).
TDialogs& Dialogs();
// Installs another instance (tests); nullptr restores the desktop one.
void SetDialogs(TDialogs* dialogs);

// The program is ending (a termination signal): the open modal dialogs and
// message boxes are closed and no new one opens (MessageBox answers Ok or
// No, ExecModal Rejected, SaveFileName false), so nothing can hold the
// program up. GUI thread.
void CloseDialogsForExit();
bool DialogsClosedForExit();

// Plain message with the application title as caption.
void ShowMessage(QWidget* parent, const std::string& text);
