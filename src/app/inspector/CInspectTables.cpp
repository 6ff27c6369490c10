#include "app/inspector/CInspectTables.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>

using checks::Finding;
using checks::Severity;

namespace
{
QString Seconds(double s)
{
    return QString::number(s, 'f', 3);
}

QString Rate(double bitsPerSecond)
{
    return QString::number(bitsPerSecond / 1e6, 'f', 3) + QStringLiteral(" Mbit/s");
}

QString Plural(uint64_t n, const char* word)
{
    return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(word)).arg(n == 1 ? QString() : QStringLiteral("s"));
}
}  // namespace

QString SummaryText(const inspector::InspectResult& r)
{
    return QStringLiteral("%1, %2, %3 in %4 packs, %5 streams")
        .arg(Plural(r.errors, "error"), Plural(r.warnings, "warning"), Plural(r.infos, "info"))
        .arg(r.packs.size())
        .arg(r.streams.size());
}

// ---------------------------------------------------------------------------------
// Streams
// ---------------------------------------------------------------------------------

void CStreamsModel::SetResult(std::shared_ptr<const inspector::InspectResult> result)
{
    beginResetModel();
    m_result = std::move(result);
    endResetModel();
}

int CStreamsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_result ? 0 : static_cast<int>(m_result->streams.size());
}

int CStreamsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CStreamsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !m_result || index.row() >= rowCount())
        return QVariant();
    const model::StreamSummary& s = m_result->streams[static_cast<size_t>(index.row())];
    if (role == Qt::TextAlignmentRole)
        return index.column() >= ColUnits && index.column() <= ColBitratePeak
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column())
    {
    case ColStream: return QString::fromStdString(s.StreamText());
    case ColKind: return QString::fromLatin1(s.KindText());
    case ColCodec: return QString::fromStdString(s.CodecText());
    case ColUnits: return QVariant::fromValue<qulonglong>(s.units);
    case ColFirstPts: return s.hasTime ? Seconds(checks::Seconds27(s.firstPts27)) : QString();
    case ColLastPts: return s.hasTime ? Seconds(checks::Seconds27(s.lastPts27)) : QString();
    case ColDuration: return s.hasTime ? Seconds(s.DurationSeconds()) : QString();
    case ColBitrateAvg: return Rate(static_cast<double>(s.AverageBitsPerSecond()));
    case ColBitratePeak: return Rate(static_cast<double>(s.PeakBitsPerSecond()));
    case ColGop: return QString::fromStdString(s.CommonGop());
    default: return QVariant();
    }
}

QVariant CStreamsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const names[ColumnCount] = {"Stream", "Kind", "Codec", "Units", "First PTS (s)",
                                                   "Last PTS (s)", "Duration (s)", "Average", "Peak", "GOP"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(names[section]);
}

// ---------------------------------------------------------------------------------
// Findings
// ---------------------------------------------------------------------------------

void CFindingsModel::SetResult(std::shared_ptr<const inspector::InspectResult> result)
{
    beginResetModel();
    m_result = std::move(result);
    endResetModel();
}

const Finding* CFindingsModel::FindingAt(int row) const
{
    if (!m_result || row < 0 || static_cast<size_t>(row) >= m_result->findings.size())
        return nullptr;
    return &m_result->findings[static_cast<size_t>(row)];
}

int CFindingsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_result ? 0 : static_cast<int>(m_result->findings.size());
}

int CFindingsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CFindingsModel::data(const QModelIndex& index, int role) const
{
    const Finding* f = index.isValid() ? FindingAt(index.row()) : nullptr;
    if (f == nullptr)
        return QVariant();
    if (role == FindingRole)
        return index.row();
    if (role == Qt::DecorationRole && index.column() == ColSeverity)
    {
        const QStyle::StandardPixmap icon = f->severity == Severity::Error     ? QStyle::SP_MessageBoxCritical
                                            : f->severity == Severity::Warning ? QStyle::SP_MessageBoxWarning
                                                                               : QStyle::SP_MessageBoxInformation;
        return QApplication::style()->standardIcon(icon);
    }
    if (role == SortRole)
    {
        switch (index.column())
        {
        case ColSeverity: return static_cast<int>(f->severity);
        case ColPack: return f->pack;
        case ColOffset: return QVariant::fromValue<qulonglong>(f->offset);
        case ColTime: return f->hasTime ? f->time : -1.0;
        default: break;
        }
        role = Qt::DisplayRole;
    }
    if (role == Qt::TextAlignmentRole)
        return index.column() >= ColPack && index.column() <= ColTime ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                                       : QVariant();
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column())
    {
    case ColSeverity: return QString::fromLatin1(checks::SeverityName(f->severity));
    case ColCheck: return QString::fromLatin1(f->check);
    case ColPack: return f->pack;
    case ColOffset: return QVariant::fromValue<qulonglong>(f->offset);
    case ColTime: return f->hasTime ? Seconds(f->time) : QString();
    case ColStream: return QString::fromStdString(checks::StreamName(f->stream));
    case ColMessage: return QString::fromStdString(f->message);
    default: return QVariant();
    }
}

QVariant CFindingsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const names[ColumnCount] = {"Severity", "Check", "Pack", "Offset", "Time (s)", "Stream",
                                                   "Message"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(names[section]);
}

// ---------------------------------------------------------------------------------
// Filter
// ---------------------------------------------------------------------------------

CFindingsFilter::CFindingsFilter(QObject* parent) : QSortFilterProxyModel(parent)
{
    setSortRole(CFindingsModel::SortRole);
}

void CFindingsFilter::SetSeverityShown(Severity severity, bool shown)
{
    m_shown[static_cast<int>(severity)] = shown;
    invalidateRowsFilter();
}

bool CFindingsFilter::IsSeverityShown(Severity severity) const
{
    return m_shown[static_cast<int>(severity)];
}

void CFindingsFilter::SetCheck(const QString& check)
{
    m_check = check;
    invalidateRowsFilter();
}

void CFindingsFilter::SetStream(const QString& stream)
{
    m_stream = stream;
    invalidateRowsFilter();
}

bool CFindingsFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const auto* model = qobject_cast<const CFindingsModel*>(sourceModel());
    const Finding* f = model ? model->FindingAt(sourceRow) : nullptr;
    if (f == nullptr || sourceParent.isValid())
        return false;
    if (!m_shown[static_cast<int>(f->severity)])
        return false;
    if (!m_check.isEmpty() && QLatin1String(f->check) != m_check)
        return false;
    if (!m_stream.isEmpty() && QString::fromStdString(checks::StreamName(f->stream)) != m_stream)
        return false;
    return true;
}
