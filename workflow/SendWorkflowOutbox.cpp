// The workflow's side of the outbox: trying queued voice mails again. The
// messages are grouped by where they go (the own server, or one recipient
// domain's mail hosts), each group over one connection with RSET between
// the messages; each message is held under its lock while it is sent and
// leaves the outbox, or has its next try written, before the next one.
#include "base/Stream.h"
#include "base/Text.h"
#include "base/Translate.h"
#include "net/NetDeliveryException.h"
#include "oauth/OAuthError.h"
#include "smtp/NetMessageSize.h"
#include "smtp/NetSMTP.h"
#include "workflow/DeliveryFailure.h"
#include "workflow/Outbox.h"
#include "workflow/OutboxEntry.h"
#include "workflow/SendWorkflow.h"

#include <algorithm>
#include <map>
#include <memory>

namespace {

std::string DomainOf(const std::string& address) {
    const size_t at = address.rfind('@');
    return LowerCase(at == std::string::npos ? address : address.substr(at + 1));
}

bool Has(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// "2 days", "5 hours", "30 seconds".
std::string Duration(int64_t seconds) {
    // One text for one and one for more, as languages differ in both.
    auto unit = [](int64_t n, const char* one, const char* more) {
        return std::string(Tr("Outbox", n == 1 ? one : more).Arg(n));
    };
    if (seconds > 0 && seconds % 86400 == 0)
        return unit(seconds / 86400, TR_NOOP("Outbox", "%1 day"), TR_NOOP("Outbox", "%1 days"));
    if (seconds > 0 && seconds % 3600 == 0)
        return unit(seconds / 3600, TR_NOOP("Outbox", "%1 hour"), TR_NOOP("Outbox", "%1 hours"));
    return unit(seconds, TR_NOOP("Outbox", "%1 second"), TR_NOOP("Outbox", "%1 seconds"));
}

void RemoveAll(std::vector<std::string>& list, const std::vector<std::string>& gone) {
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const std::string& r) { return Has(gone, r); }),
               list.end());
}

} // namespace

TOutboxPass TSendWorkflow::SendQueued(const TOutboxRequest& request) {
    TOutboxPass pass;
    if (FOptions.OutboxDir.empty() || FRunning)
        return pass;
    TSendRunScope run(FRunning, *FAntiFreeze);
    FTriedThisPass.clear();
    TOutbox outbox(FOptions.OutboxDir);
    outbox.CleanUp();
    const int64_t now = Now();

    // The own server first, then each domain, in the order the messages
    // (oldest first) name them.
    std::vector<std::pair<std::string, std::vector<TQueuedJob>>> targets;
    auto jobsFor = [&targets](const std::string& key) -> std::vector<TQueuedJob>& {
        for (auto& t : targets)
            if (t.first == key)
                return t.second;
        return targets.emplace_back(key, std::vector<TQueuedJob>{}).second;
    };
    jobsFor(""); // the own server
    for (const std::string& id : request.Ids.empty() ? outbox.List() : request.Ids) {
        std::string problem;
        const std::optional<TOutboxEnvelope> e = outbox.ReadEnvelope(id, problem);
        if (!e || (request.DueOnly && e->NextTry > now))
            continue;
        if (e->Way != TSendType::Direct) {
            jobsFor("").push_back({id, e->Recipients});
            continue;
        }
        std::map<std::string, std::vector<std::string>> byDomain;
        for (const std::string& r : e->Recipients) {
            std::vector<TQueuedJob>& jobs = jobsFor(DomainOf(r));
            if (jobs.empty() || jobs.back().Id != id)
                jobs.push_back({id, {}});
            jobs.back().Recipients.push_back(r);
        }
    }
    struct TCollect {
        bool& Flag;
        TCollect(bool& flag) : Flag(flag) { Flag = true; }
        ~TCollect() { Flag = false; }
    } collect{FCollectFailures};
    for (auto& [domain, jobs] : targets)
        if (!jobs.empty())
            SendQueuedTo(outbox, domain, jobs, pass);

    for (const std::string& id : outbox.List()) {
        ++pass.Remaining;
        std::string problem;
        if (const std::optional<TOutboxEnvelope> e = outbox.ReadEnvelope(id, problem))
            if (pass.NextTry == 0 || e->NextTry < pass.NextTry)
                pass.NextTry = e->NextTry;
    }
    return pass;
}

void TSendWorkflow::SendQueuedTo(TOutbox& outbox, const std::string& domain,
                                 std::vector<TQueuedJob>& jobs, TOutboxPass& pass) {
    std::vector<TSmtpOptions> hosts;
    std::string failure;
    bool temporary = true;
    if (domain.empty()) {
        try {
            TSmtpOptions own;
            SignInToOwnServer(own);
            hosts.push_back(own);
        } catch (const EOAuthError& e) {
            // A sign-in that fails now may work later: the mails wait.
            failure = e.Message;
        }
    } else {
        FFailures.clear();
        try {
            if (ResolveMailHosts(domain)) {
                for (const std::string& host : FMailHosts)
                    hosts.push_back(MailExchangerOptions(host, {}));
            } else if (!FFailures.empty()) {
                failure = FFailures.back().Text;
                temporary = FFailures.back().Temporary;
            }
        } catch (const ESendCancelled&) {
            throw;
        } catch (const Exception& e) {
            // No name server known now ("Error occured!"): a network that
            // is not there yet.
            failure = e.Message;
        }
    }
    size_t next = 0; // the first message not tried yet
    for (const TSmtpOptions& host : hosts) {
        if (next == jobs.size())
            break;
        FSmtp = std::make_unique<TNetSMTP>(host);
        struct TRelease {
            std::unique_ptr<TNetSMTP>& Smtp;
            ~TRelease() { Smtp.reset(); }
        } release{FSmtp};
        try {
            FSmtp->ConnectAndGreet();
        } catch (const ESendCancelled&) {
            QuitAfterCancel();
            throw;
        } catch (const Exception& e) {
            // Whatever stops a server from talking to us, the messages
            // themselves were not refused: they wait until they expire.
            failure = e.Message + ":" + host.Host;
            temporary = true;
            continue;
        }
        bool usable = true;
        for (; usable && next < jobs.size(); ++next) {
            // Busy in another process, or sent and gone meanwhile.
            const std::unique_ptr<TOutboxEntry> entry = outbox.Take(jobs[next].Id);
            if (!entry)
                continue;
            try {
                usable = SendQueuedMessage(*entry, jobs[next].Recipients, host.Host, pass);
            } catch (const ESendCancelled&) {
                QuitAfterCancel();
                throw;
            }
            if (!usable)
                failure = pass.Items.back().Reason;
        }
        try {
            if (FSmtp->IsConnected())
                FSmtp->QuitAndClose();
        } catch (const Exception&) {
        }
    }
    // Not tried: the server or the domain could not be reached, which
    // counts as their try.
    for (; next < jobs.size(); ++next) {
        const std::unique_ptr<TOutboxEntry> entry = outbox.Take(jobs[next].Id);
        std::string problem;
        std::optional<TOutboxEnvelope> e = entry ? entry->ReadEnvelope(problem) : std::nullopt;
        if (!e)
            continue;
        std::vector<std::string> recipients;
        for (const std::string& r : jobs[next].Recipients)
            if (Has(e->Recipients, r))
                recipients.push_back(r);
        if (!recipients.empty())
            RecordFailure(*entry, *e, recipients,
                          failure.empty() ? Tr("Outbox", "There is no mail host to try.") : failure,
                          temporary, pass);
    }
}

bool TSendWorkflow::SendQueuedMessage(TOutboxEntry& entry,
                                      const std::vector<std::string>& recipients,
                                      const std::string& host, TOutboxPass& pass) {
    std::string problem;
    std::optional<TOutboxEnvelope> e = entry.ReadEnvelope(problem);
    if (!e)
        return true;
    // Another process may have delivered to some of them meanwhile.
    std::vector<std::string> pending;
    for (const std::string& r : recipients)
        if (Has(e->Recipients, r))
            pending.push_back(r);
    if (pending.empty())
        return true;
    std::unique_ptr<TFileStream> text;
    try {
        text = std::make_unique<TFileStream>(entry.MessageFile(), TFileStream::Mode::OpenRead);
    } catch (const EFOpenError& error) {
        // A damaged entry: it stays for the user to see, save or delete.
        pass.Items.push_back(
            {entry.Id(), e->To, e->Subject, TOutboxPass::Waiting, error.Message, e->NextTry, ""});
        return true;
    }
    std::vector<TNetSMTP::TDeferredRecipient> deferred;
    try {
        deferred = FSmtp->SendStoredMail(e->Sender, pending, *text);
    } catch (const ESendCancelled&) {
        throw;
    } catch (const Exception& error) {
        const auto* reply = dynamic_cast<const ENetProtocolReplyError*>(&error);
        // A size refusal names the host itself; it came before RSET.
        const bool tooLarge = dynamic_cast<const ENetMessageTooLarge*>(&error) != nullptr;
        RecordFailure(entry, *e, pending, tooLarge ? error.Message : error.Message + ":" + host,
                      IsTemporaryFailure(error), pass);
        // After a refusal the server takes the next transaction; after
        // anything else (a lost connection, "421") it does not.
        return ((reply && reply->ReplyErrorCode != 421) || tooLarge) && FSmtp->IsConnected();
    }
    // Taken: out of the pending list before anything else happens.
    std::vector<std::string> waiting;
    for (const TNetSMTP::TDeferredRecipient& d : deferred)
        waiting.push_back(d.Address);
    std::vector<std::string> taken = pending;
    RemoveAll(taken, waiting);
    RemoveAll(e->Recipients, taken);
    if (e->Recipients.empty())
        entry.MarkSent();
    else
        entry.Update(*e);
    pass.Items.push_back({entry.Id(), e->To, e->Subject, TOutboxPass::Sent, "", 0, ""});
    if (!waiting.empty())
        RecordFailure(entry, *e, waiting, deferred.front().Reply + ":" + host, true, pass);
    return true;
}

void TSendWorkflow::RecordFailure(TOutboxEntry& entry, TOutboxEnvelope& e,
                                  const std::vector<std::string>& recipients,
                                  const std::string& reason, bool temporary, TOutboxPass& pass) {
    const int64_t now = Now();
    TOutboxPass::TItem item{entry.Id(),      e.To, e.Subject, TOutboxPass::Waiting,
                            OneLine(reason), 0,    ""};
    e.LastTry = now;
    e.LastReply = item.Reason;
    if (temporary) {
        // One try a pass, however many of its domains failed.
        if (FTriedThisPass.insert(entry.Id()).second)
            ++e.Attempts;
        if (now < e.Expires) {
            e.NextTry = std::min(now + FOptions.Retry.DelayAfter(e.Attempts), e.Expires);
            entry.Update(e);
            item.NextTry = e.NextTry;
            pass.Items.push_back(item);
            return;
        }
        item.Reason = Tr("Outbox", "Not delivered within %1; the last try said: %2")
                          .Arg(Duration(FOptions.Retry.Lifetime(e.Way)), item.Reason);
    }
    // Given up for these recipients.
    item.Result = TOutboxPass::Refused;
    RemoveAll(e.Recipients, recipients);
    if (e.Recipients.empty()) {
        item.File = entry.MoveToFailed(e, item.Reason);
    } else {
        entry.Update(e);
        entry.NoteRefusal(e, item.Reason, "");
    }
    pass.Items.push_back(item);
}
