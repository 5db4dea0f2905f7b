// The folder of one hand-over to the desktop's mail client: the client
// reads the attachment after the send has returned, often after Quillet or
// quillet-send has ended, so its files get a folder of their own (mode
// 0700) under $XDG_CACHE_HOME/quillet/handover/ instead of a working
// directory. Folders older than a week go when the next one is made.
#pragma once

#include <string>

class THandoverFolder {
public:
    // Removes the folders under root (empty: DefaultRoot()) older than
    // MaxAgeDays, then makes a new one (and root, mode 0700, when missing).
    // Raises EFCreateError.
    explicit THandoverFolder(const std::string& root);
    // Removes the folder again unless Keep() was called: a hand-over that
    // failed or was cancelled leaves nothing behind.
    ~THandoverFolder();
    THandoverFolder(const THandoverFolder&) = delete;
    THandoverFolder& operator=(const THandoverFolder&) = delete;

    // Copies file into the folder under its own name; returns the copy's
    // path. Raises EFCreateError.
    std::string Add(const std::string& file);
    // The client has the files: they stay until a later hand-over finds
    // them old.
    void Keep() { Kept = true; }
    // The folder with a trailing "/".
    const std::string& Path() const { return Dir; }

    // $XDG_CACHE_HOME/quillet/handover/ (~/.cache/quillet/handover/).
    static std::string DefaultRoot();
    static constexpr int MaxAgeDays = 7;

private:
    std::string Dir;
    bool Kept = false;
};
