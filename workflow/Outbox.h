// TOutbox: the folder where voice mails wait that could not be sent for a
// passing reason. One folder per message (message.eml: the exact text that
// goes; envelope: see OutboxEnvelope.h), made under a hidden name, synced
// and renamed into place, so a reader sees a message whole or not at all.
// failed/ keeps the .eml of a message given up. Everything is mode 0700 /
// 0600. Sending one is TOutboxEntry's (OutboxEntry.h), under its lock.
#pragma once

#include "base/Exception.h"
#include "workflow/OutboxEnvelope.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TOutboxEntry;

// The outbox could not be written or changed; the message says where and why.
class EOutboxError : public Exception {
public:
    using Exception::Exception;
};

// A message given up (expired or refused for good), or refused by some of
// its recipients, as a note in failed/ tells it.
struct TGivenUpMail {
    std::string Id, To, Subject, Reason;
    std::string MessageFile; // failed/<id>.eml; empty while others still wait for it
};

class TOutbox {
public:
    // dir: the outbox folder, with or without a trailing "/"; made on the
    // first Add.
    explicit TOutbox(const std::string& dir);

    const std::string& Dir() const { return FDir; }
    std::string MessageFile(const std::string& id) const { return FDir + id + "/message.eml"; }
    std::string FailedDir() const { return FDir + "failed/"; }

    // Queues text with envelope; returns the new id ("YYYYMMDD-HHMMSS-"
    // and 8 hex digits, so names sort by age). On a refused write (a full
    // disk) nothing is left behind and EOutboxError says why.
    std::string Add(std::string_view text, const TOutboxEnvelope& envelope) const;
    // The queued ids, oldest first; only the folder is read.
    std::vector<std::string> List() const;
    // id's envelope as it is now; nullopt with the reason when it cannot
    // be read (gone, or damaged).
    std::optional<TOutboxEnvelope> ReadEnvelope(const std::string& id, std::string& problem) const;
    // id for this process alone (an flock on its folder, held until the
    // entry goes); nullptr while another process has it, or when it left
    // the outbox meanwhile.
    std::unique_ptr<TOutboxEntry> Take(const std::string& id) const;
    // Removes what a process that ended mid-way left: folders already
    // marked sent or deleted, new ones nobody writes any more.
    void CleanUp() const;
    // The messages given up since the last call (by any process), each
    // handed out once.
    std::vector<TGivenUpMail> TakeUnreported() const;

private:
    std::string FDir;
};

// The outbox of this user: $QUILLET_OUTBOX_DIR when set (tests, scripts),
// else "outbox/" beside the recording (UserDataDir()).
std::string OutboxDirPath();

// Writes data to path (mode 0600) and syncs it to the disk; raises
// EOutboxError with the path and the system's reason.
void WriteFileSynced(const std::string& path, std::string_view data);
// Syncs a directory's entries (a rename in it) to the disk.
void SyncDirectory(const std::string& dir);
