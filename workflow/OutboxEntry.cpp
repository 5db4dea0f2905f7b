// One queued voice mail under this process's lock; see OutboxEntry.h.
#include "workflow/OutboxEntry.h"

#include "workflow/Outbox.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

TOutboxEntry::TOutboxEntry(std::string dir, std::string id, int fd)
    : FDir(std::move(dir)), FId(std::move(id)), FFd(fd) {}

TOutboxEntry::~TOutboxEntry() {
    if (FFd >= 0)
        ::close(FFd); // releases the flock
}

std::optional<TOutboxEnvelope> TOutboxEntry::ReadEnvelope(std::string& problem) const {
    return TOutbox(FDir).ReadEnvelope(FId, problem);
}

void TOutboxEntry::Update(const TOutboxEnvelope& envelope) {
    const std::string path = Folder() + "envelope";
    WriteFileSynced(path + ".new", FormatEnvelope(envelope));
    if (::rename((path + ".new").c_str(), path.c_str()) != 0)
        throw EOutboxError(path + ": " + SystemErrorText(errno));
}

void TOutboxEntry::MarkSent() {
    // The rename is the mark; what follows is tidying that CleanUp would
    // also do. A rename survives a crash of the process at once; only a
    // power cut before the system writes it back could undo it (and then
    // the message goes once more).
    const std::string sent = FDir + ".sent-" + FId;
    if (::rename(Folder().c_str(), sent.c_str()) != 0)
        throw EOutboxError(Folder() + ": " + SystemErrorText(errno));
    std::error_code ignored;
    std::filesystem::remove_all(sent, ignored);
}

std::string TOutboxEntry::MoveToFailed(const TOutboxEnvelope& envelope, const std::string& reason) {
    const std::string failed = TOutbox(FDir).FailedDir();
    if (::mkdir(failed.c_str(), 0700) != 0 && errno != EEXIST)
        throw EOutboxError(failed + ": " + SystemErrorText(errno));
    const std::string eml = failed + FId + ".eml";
    // A link, so the text is never in neither place; one left by an earlier
    // give-up that did not finish is replaced.
    ::unlink(eml.c_str());
    if (::link(MessageFile().c_str(), eml.c_str()) != 0) {
        std::error_code error;
        std::filesystem::copy_file(MessageFile(), eml, error);
        if (error)
            throw EOutboxError(eml + ": " + error.message());
    }
    NoteRefusal(envelope, reason, eml);
    Retire(".gone-");
    return eml;
}

void TOutboxEntry::NoteRefusal(const TOutboxEnvelope& envelope, const std::string& reason,
                               const std::string& file) {
    const std::string failed = TOutbox(FDir).FailedDir();
    if (::mkdir(failed.c_str(), 0700) != 0 && errno != EEXIST)
        throw EOutboxError(failed + ": " + SystemErrorText(errno));
    // Named after the entry and the moment: a message may be refused by
    // one domain now and by another later.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::string note = failed + FId + "." + std::to_string(now.tv_sec) +
                             std::to_string(1000000000 + now.tv_nsec).substr(1) + ".why";
    WriteFileSynced(note + ".new", "To: " + OneLine(envelope.To) +
                                       "\nSubject: " + OneLine(envelope.Subject) +
                                       "\nReason: " + OneLine(reason) + "\nFile: " + file + "\n");
    if (::rename((note + ".new").c_str(), note.c_str()) != 0)
        throw EOutboxError(note + ": " + SystemErrorText(errno));
    SyncDirectory(failed);
}

void TOutboxEntry::Remove() {
    Retire(".gone-");
}

void TOutboxEntry::Retire(const char* prefix) {
    const std::string gone = FDir + prefix + FId;
    if (::rename(Folder().c_str(), gone.c_str()) != 0)
        throw EOutboxError(Folder() + ": " + SystemErrorText(errno));
    std::error_code ignored;
    std::filesystem::remove_all(gone, ignored);
}
