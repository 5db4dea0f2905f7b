// TOutboxEntry: one queued voice mail while this process holds it (flock on
// its folder; the lock goes with the object or the process, so a crash
// never leaves a message stuck). Every change is one rename, made durable
// before the caller goes on: a message the server took leaves the outbox
// before anything else happens, so it is never sent twice unless the
// process dies between the server's reply and that rename.
#pragma once

#include "workflow/OutboxEnvelope.h"

#include <optional>
#include <string>

class TOutboxEntry {
public:
    // fd: the locked folder. Made by TOutbox::Take.
    TOutboxEntry(std::string dir, std::string id, int fd);
    ~TOutboxEntry();
    TOutboxEntry(const TOutboxEntry&) = delete;
    TOutboxEntry& operator=(const TOutboxEntry&) = delete;

    const std::string& Id() const { return FId; }
    std::string MessageFile() const { return Folder() + "message.eml"; }
    // The envelope as the lock found it.
    std::optional<TOutboxEnvelope> ReadEnvelope(std::string& problem) const;

    // Replaces the envelope: written beside it, synced, renamed over it.
    void Update(const TOutboxEnvelope& envelope);
    // The message reached every recipient: renamed out of the outbox, then
    // removed. Raises EOutboxError when the rename fails.
    void MarkSent();
    // Given up: the text goes to failed/<id>.eml with a note of the reason
    // for the next TOutbox::TakeUnreported, the folder is removed. Returns
    // the .eml's path.
    std::string MoveToFailed(const TOutboxEnvelope& envelope, const std::string& reason);
    // Leaves a note in failed/ for TOutbox::TakeUnreported: some
    // recipients refused the message for good (file: its .eml there, or
    // empty while others still wait for it).
    void NoteRefusal(const TOutboxEnvelope& envelope, const std::string& reason,
                     const std::string& file);
    // Deleted by the user.
    void Remove();

private:
    std::string Folder() const { return FDir + FId + "/"; }
    // Renames the folder to a hidden name and removes it.
    void Retire(const char* prefix);
    std::string FDir, FId;
    int FFd = -1;
};
