// The Outbox window's table model; see OutboxModel.h.
#include "app/OutboxModel.h"

#include "app/TextCodec.h"

#include <QDateTime>

namespace {

enum TColumn { ColTo, ColSubject, ColSize, ColAttempts, ColLastReply, ColNextTry, ColCount };

QString SizeText(int64_t bytes) {
    if (bytes < 1024)
        return TOutboxModel::tr("%1 bytes").arg(bytes);
    if (bytes < 1024 * 1024)
        return TOutboxModel::tr("%1 KB").arg(double(bytes) / 1024, 0, 'f', 1);
    return TOutboxModel::tr("%1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
}

// "HH:MM" today, the date before it on other days.
QString WhenText(int64_t when) {
    const QDateTime t = QDateTime::fromSecsSinceEpoch(when);
    return t.date() == QDate::currentDate() ? t.toString("HH:mm") : t.toString("yyyy-MM-dd HH:mm");
}

} // namespace

TOutboxModel::TOutboxModel(const std::string& outboxDir, QObject* parent)
    : QAbstractTableModel(parent), FOutbox(outboxDir) {
    Refresh();
}

void TOutboxModel::Refresh() {
    beginResetModel();
    FIds = FOutbox.List();
    FEnvelopes.clear();
    FProblems.clear();
    endResetModel();
}

const std::optional<TOutboxEnvelope>& TOutboxModel::EnvelopeAt(int row) const {
    auto found = FEnvelopes.find(row);
    if (found == FEnvelopes.end()) {
        std::string problem;
        found = FEnvelopes.emplace(row, FOutbox.ReadEnvelope(IdAt(row), problem)).first;
        if (!found->second)
            FProblems[row] = problem;
    }
    return found->second;
}

int TOutboxModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FIds.size());
}

int TOutboxModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColCount;
}

QVariant TOutboxModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::TextAlignmentRole &&
        (index.column() == ColSize || index.column() == ColAttempts))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const std::optional<TOutboxEnvelope>& e = EnvelopeAt(index.row());
    if (!e)
        return index.column() == ColLastReply
                   ? tr("The envelope cannot be read: %1").arg(ToQt(FProblems[index.row()]))
                   : QVariant();
    switch (index.column()) {
    case ColTo:
        return ToQt(e->To);
    case ColSubject:
        return ToQt(e->Subject);
    case ColSize:
        return SizeText(e->Size);
    case ColAttempts:
        return e->Attempts;
    case ColLastReply:
        return ToQt(e->LastReply);
    case ColNextTry:
        return WhenText(e->NextTry);
    }
    return {};
}

QVariant TOutboxModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const names[ColCount] = {QT_TR_NOOP("To"),         QT_TR_NOOP("Subject"),
                                                QT_TR_NOOP("Size"),       QT_TR_NOOP("Attempts"),
                                                QT_TR_NOOP("Last reply"), QT_TR_NOOP("Next try")};
    return section >= 0 && section < ColCount ? tr(names[section]) : QVariant();
}
