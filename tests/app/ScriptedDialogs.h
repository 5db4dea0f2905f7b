// A TDialogs that answers from a script and records what was shown, so
// window tests never block on a modal box.
#pragma once

#include "app/Dialogs.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

struct TShownBox {
    std::string Text, Caption;
    TMsgIcon Icon;
    TMsgButtons Buttons;
};

class TScriptedDialogs : public TDialogs {
public:
    TScriptedDialogs() { SetDialogs(this); }
    ~TScriptedDialogs() override { SetDialogs(nullptr); }

    TMsgResult MessageBox(QWidget*, const std::string& text, const std::string& caption,
                          TMsgIcon icon, TMsgButtons buttons) override {
        Boxes.push_back({text, caption, icon, buttons});
        if (OnBox)
            OnBox(Boxes.back());
        if (buttons == TMsgButtons::YesNo) {
            TMsgResult r = Answers.empty() ? TMsgResult::No : Answers.front();
            if (!Answers.empty())
                Answers.pop_front();
            return r;
        }
        return TMsgResult::Ok;
    }
    int ExecModal(QDialog* dialog) override {
        ++Modals;
        return OnModal ? OnModal(dialog) : 0;
    }
    bool SaveFileName(QWidget*, const std::string& filter, const std::string& ext,
                      std::string& fileName) override {
        SaveFilter = filter;
        SaveExt = ext;
        if (SaveAnswer.empty())
            return false;
        fileName = SaveAnswer;
        return true;
    }

    bool OpenFileName(QWidget*, const std::string& filter, std::string& fileName) override {
        OpenFilter = filter;
        if (OpenAnswer.empty())
            return false;
        fileName = OpenAnswer;
        return true;
    }

    std::vector<TShownBox> Boxes;
    std::deque<TMsgResult> Answers;
    std::function<void(const TShownBox&)> OnBox;
    std::function<int(QDialog*)> OnModal;
    int Modals = 0;
    std::string SaveAnswer, SaveFilter, SaveExt;
    std::string OpenAnswer, OpenFilter;
};
