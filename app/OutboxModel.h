// TOutboxModel: the Outbox window's table: one row per queued voice mail
// (To, Subject, size, attempts, last reply, next try). Only the folder is
// listed up front; a row's envelope is read when the view first shows it,
// so the window opens at once however many mails wait. GUI thread.
#pragma once

#include "workflow/Outbox.h"

#include <QAbstractTableModel>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class TOutboxModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TOutboxModel(const std::string& outboxDir, QObject* parent = nullptr);

    // Lists the folder anew and forgets the envelopes read.
    void Refresh();
    const std::string& IdAt(int row) const { return FIds.at(size_t(row)); }
    // The envelope of row (read now if not yet); nullopt when unreadable.
    const std::optional<TOutboxEnvelope>& EnvelopeAt(int row) const;
    // Envelopes read since the last Refresh.
    size_t EnvelopesRead() const { return FEnvelopes.size(); }
    const TOutbox& Outbox() const { return FOutbox; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TOutbox FOutbox;
    std::vector<std::string> FIds;
    mutable std::unordered_map<int, std::optional<TOutboxEnvelope>> FEnvelopes;
    mutable std::unordered_map<int, std::string> FProblems;
};
