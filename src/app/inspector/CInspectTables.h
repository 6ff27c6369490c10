#pragma once
// The inspector's two tables: the streams (one row per stream, as the command line's
// stream listing) and the findings (one row per finding, in file order), with a filter
// over the findings by severity, check and stream. Both read the pass's result in place.

#include "app/inspector/InspectData.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QSortFilterProxyModel>
#include <QString>

#include <memory>
#include <vector>

class CStreamsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        ColStream,
        ColKind,
        ColCodec,
        ColUnits,
        ColFirstPts,
        ColLastPts,
        ColDuration,
        ColBitrateAvg,
        ColBitratePeak,
        // The codec's properties, as the command line's stream list gives them.
        ColResolution,
        ColFrameRate,
        ColAspect,
        ColProfile,
        ColSampleRate,
        ColChannels,
        ColCodedRate,
        ColGop,
        ColumnCount
    };
    using QAbstractTableModel::QAbstractTableModel;

    void SetResult(std::shared_ptr<const inspector::InspectResult> result);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const inspector::InspectResult> m_result;
};

class CFindingsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        ColSeverity,
        ColCheck,
        ColFile,
        ColPack,
        ColOffset,
        ColTime,
        ColStream,
        ColCount,
        ColMessage,
        ColumnCount
    };
    // Sort keys: numbers sort as numbers, severities by rank.
    static constexpr int SortRole = Qt::UserRole + 1;
    // The finding's row in the result, whatever the sorting and filtering.
    static constexpr int FindingRole = Qt::UserRole + 2;

    using QAbstractTableModel::QAbstractTableModel;

    void SetResult(std::shared_ptr<const inspector::InspectResult> result);
    const checks::Finding* FindingAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const inspector::InspectResult> m_result;
};

// Severity, check and stream filters over CFindingsModel; an empty check or stream
// text lets every row through.
class CFindingsFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit CFindingsFilter(QObject* parent = nullptr);

    void SetSeverityShown(checks::Severity severity, bool shown);
    bool IsSeverityShown(checks::Severity severity) const;
    void SetCheck(const QString& check);
    void SetStream(const QString& stream);
    // Only the findings of these rows of the model (the Disc tab's entry); null: all.
    void SetRows(const std::vector<uint32_t>* rows);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    bool m_shown[3] = {true, true, true};
    QString m_check, m_stream;
    bool m_bRows = false;
    std::vector<bool> m_rows;
};

// The icon of a severity: the message box's critical, warning or information sign.
QIcon SeverityIcon(checks::Severity severity);

// "3 errors, 1 warning, 0 infos in 7124 packs, 3 streams", as the check report ends
QString SummaryText(const inspector::InspectResult& result);
