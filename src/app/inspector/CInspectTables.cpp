#include "app/inspector/CInspectTables.h"

#include "syntax/dvd/AudioSubstreams.h"

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

// In kbit/s with one decimal, as the command line's stream list has them.
QString Rate(uint64_t bitsPerSecond)
{
    return QString::number(static_cast<double>(bitsPerSecond) / 1000.0, 'f', 1) + QStringLiteral(" kbit/s");
}

// A column's name (display) or what it shows (tool tip), from a table of both.
template <size_t N>
QVariant HeaderOf(const char* const (&names)[N][2], int section, Qt::Orientation orientation, int role)
{
    if (orientation != Qt::Horizontal || section < 0 || static_cast<size_t>(section) >= N ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return QVariant();
    return QString::fromLatin1(names[section][role == Qt::DisplayRole ? 0 : 1]);
}

bool IsAudio(model::Kind kind)
{
    return kind == model::Kind::MpegAudio || kind == model::Kind::Ac3 || kind == model::Kind::Dts ||
           kind == model::Kind::Lpcm;
}

// A codec property of the stream, or an empty string where it has none.
QString Property(const model::StreamSummary& s, int column)
{
    const bool video = s.kind == model::Kind::Video && s.hasSequence;
    const bool audio = IsAudio(s.kind) && s.units > 0;
    const model::SequenceEvent& q = s.sequence;
    const model::AccessUnit& a = s.first;
    switch (column)
    {
    case CStreamsModel::ColResolution:
        return video ? QStringLiteral("%1x%2").arg(q.width).arg(q.height) : QString();
    case CStreamsModel::ColFrameRate:
        return video && q.frameRateNum ? QString::number(double(q.frameRateNum) / q.frameRateDen, 'f', 3) + QStringLiteral(" fps")
                                       : QString();
    case CStreamsModel::ColAspect:
        if (!video)
            return QString();
        return (q.mpeg2 ? QString() : QStringLiteral("PAR ")) + QString::fromLatin1(model::AspectText(q));
    case CStreamsModel::ColProfile:
        if (!video || !q.mpeg2)
            return QString();
        return QStringLiteral("%1 %2 %3")
            .arg(QString::fromStdString(model::ProfileLevelText(q.profileAndLevel)),
                 QString::fromLatin1(model::ChromaText(q.chromaFormat)),
                 q.progressiveSequence ? QStringLiteral("progressive") : QStringLiteral("interlaced"));
    case CStreamsModel::ColSampleRate:
        return audio && a.sampleRate ? QStringLiteral("%1 Hz").arg(a.sampleRate) : QString();
    case CStreamsModel::ColChannels:
        if (!audio)
            return QString();
        if (s.kind == model::Kind::MpegAudio)
            return a.channels == 1 ? QStringLiteral("mono") : QStringLiteral("stereo");
        if (s.kind == model::Kind::Ac3)
            return QString::fromLatin1(CAc3Header::ChannelModeText(a.channelMode)) +
                   (a.lfe ? QStringLiteral("+LFE") : QString());
        return QString::number(a.channels);
    case CStreamsModel::ColCodedRate:
        if (video)
            return model::IsVariableBitRate(q) ? QStringLiteral("variable")
                                               : Rate(uint64_t{q.bitRateValue} * 400);
        if (audio && s.kind == model::Kind::Lpcm)
            return QStringLiteral("%1 bits").arg(a.bitsPerSample);
        return audio && a.bitRate ? Rate(a.bitRate) : QString();
    case CStreamsModel::ColGop:
        if (s.kind != model::Kind::Video || s.gops == 0)
            return QString();
        return QStringLiteral("%1 (%2 GOPs, %3 closed, %4-%5 frames)")
            .arg(QString::fromStdString(s.CommonGop()))
            .arg(s.gops)
            .arg(s.closedGops)
            .arg(s.gopMin)
            .arg(s.gopMax);
    default:
        return QString();
    }
}

QString Plural(uint64_t n, const char* word)
{
    return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(word)).arg(n == 1 ? QString() : QStringLiteral("s"));
}
}  // namespace

QIcon SeverityIcon(Severity severity)
{
    const QStyle::StandardPixmap icon = severity == Severity::Error     ? QStyle::SP_MessageBoxCritical
                                        : severity == Severity::Warning ? QStyle::SP_MessageBoxWarning
                                                                        : QStyle::SP_MessageBoxInformation;
    return QApplication::style()->standardIcon(icon);
}

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
    // The whole stream on one line, as the command line lists it.
    if (role == Qt::ToolTipRole)
        return QString::fromStdString(model::StreamLine(s)).simplified();
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
    case ColBitrateAvg: return s.hasTime ? Rate(s.AverageBitsPerSecond()) : QString();
    case ColBitratePeak: return s.hasTime ? Rate(s.PeakBitsPerSecond()) : QString();
    default: return Property(s, index.column());
    }
}

QVariant CStreamsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const names[ColumnCount][2] = {
        {"Stream", "The PES stream id, and the substream id of private stream 1"},
        {"Kind", "What the stream carries"},
        {"Codec", "The coding of the stream"},
        {"Units", "Access units: pictures, audio frames, subpicture units, navigation packs"},
        {"First PTS (s)", "The lowest presentation time"},
        {"Last PTS (s)", "The highest presentation time"},
        {"Duration (s)", "The units' durations added up (from the first presentation to the end of the last "
                         "for subpictures and navigation)"},
        {"Average", "The stream's bits over its duration"},
        {"Peak", "The highest rate over one second of the stream"},
        {"Resolution", "Width x height of the pictures, extensions applied"},
        {"Frame rate", "Frames per second, as the sequence header codes them"},
        {"Aspect", "Display aspect ratio (MPEG-2) or pixel aspect ratio (MPEG-1, PAR)"},
        {"Profile", "Profile and level, chroma format, progressive or interlaced sequence"},
        {"Sample rate", "Audio samples per second"},
        {"Channels", "Audio channels (AC-3: the coding mode, front/rear)"},
        {"Coded rate", "The bit rate the stream's headers code (LPCM: the bits per sample)"},
        {"GOP", "The most common group of pictures in coded order, and how many there are"},
    };
    const QVariant header = HeaderOf(names, section, orientation, role);
    return header.isValid() ? header : QAbstractTableModel::headerData(section, orientation, role);
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
        return SeverityIcon(f->severity);
    if (role == SortRole)
    {
        switch (index.column())
        {
        case ColSeverity: return static_cast<int>(f->severity);
        // A disc's findings come file by file in the disc's order: that order again.
        case ColFile: return index.row();
        case ColPack: return f->pack;
        case ColOffset: return QVariant::fromValue<qulonglong>(f->offset);
        case ColTime: return f->hasTime ? f->time : -1.0;
        case ColCount: return QVariant::fromValue<qulonglong>(f->count);
        default: break;
        }
        role = Qt::DisplayRole;
    }
    if (role == Qt::TextAlignmentRole)
        return (index.column() >= ColPack && index.column() <= ColTime) || index.column() == ColCount
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
    // The whole finding, however narrow the columns: the report's line, the message
    // and its count on a paragraph of their own.
    if (role == Qt::ToolTipRole)
    {
        QString message = QString::fromStdString(f->message);
        if (f->count > 1)
            message += QStringLiteral(" (%1 times)").arg(f->count);
        QString place = QStringLiteral("%1 %2, pack %3, offset %4")
                            .arg(QLatin1String(checks::SeverityName(f->severity)), QLatin1String(f->check))
                            .arg(f->pack)
                            .arg(f->offset);
        if (f->stream != model::kNoStream)
            place += QStringLiteral(", stream ") + QString::fromStdString(checks::StreamName(f->stream));
        if (f->hasTime)
            place += QStringLiteral(", ") + Seconds(f->time) + QStringLiteral(" s");
        return QStringLiteral("<p><b>%1</b></p><p>%2</p>").arg(place.toHtmlEscaped(), message.toHtmlEscaped());
    }
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column())
    {
    case ColSeverity: return QString::fromLatin1(checks::SeverityName(f->severity));
    case ColCheck: return QString::fromLatin1(f->check);
    case ColFile: return QString::fromStdString(m_result->FindingFile(static_cast<size_t>(index.row())));
    case ColPack: return f->pack;
    case ColOffset: return QVariant::fromValue<qulonglong>(f->offset);
    case ColTime: return f->hasTime ? Seconds(f->time) : QString();
    case ColStream: return QString::fromStdString(checks::StreamName(f->stream));
    case ColCount: return QVariant::fromValue<qulonglong>(f->count);
    case ColMessage: return QString::fromStdString(f->message);
    default: return QVariant();
    }
}

QVariant CFindingsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const names[ColumnCount][2] = {
        {"Severity", "Error, warning or info"},
        {"Check", "The check that found it (varnodel-cli --list-checks lists them)"},
        {"File", "The file its offset falls in (of a disc: an IFO, its BUP, or a VOB file of a VOB set)"},
        {"Pack", "The pack that holds it: PACK #n in the tree (of a disc: counted in its VOB set)"},
        {"Offset", "The byte offset in the file of the element it is about (of a disc's stream: in its VOB set, "
                   "whose files run on one after the other)"},
        {"Time (s)", "When it happens, on the stream's clock"},
        {"Stream", "The elementary stream it concerns; empty for the system layer"},
        {"Count", "How often it occurred in a row; only the first time is listed"},
        {"Message", "What was found (point at a row for the whole text)"},
    };
    const QVariant header = HeaderOf(names, section, orientation, role);
    return header.isValid() ? header : QAbstractTableModel::headerData(section, orientation, role);
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

void CFindingsFilter::SetRows(const std::vector<uint32_t>* rows)
{
    m_bRows = rows != nullptr;
    m_rows.clear();
    if (rows)
        for (uint32_t row : *rows)
        {
            if (row >= m_rows.size())
                m_rows.resize(row + 1, false);
            m_rows[row] = true;
        }
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
    if (m_bRows && (static_cast<size_t>(sourceRow) >= m_rows.size() || !m_rows[static_cast<size_t>(sourceRow)]))
        return false;
    if (!m_check.isEmpty() && QLatin1String(f->check) != m_check)
        return false;
    if (!m_stream.isEmpty() && QString::fromStdString(checks::StreamName(f->stream)) != m_stream)
        return false;
    return true;
}
