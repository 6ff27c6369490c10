#pragma once
// The inspector: a resizable window in the platform's own style that runs the stream
// model and the checks over a whole file, or a whole DVD-Video disc, on a worker thread
// and shows the result as tables (streams, findings, the disc's titles, PGCs and cells),
// plots (bit rate, time stamps, decoder buffers, picture sizes) and the bytes of whatever
// is selected. Of a disc, the streams, plots and bytes are those of one VOB set at a time:
// the one the Disc tab's entry plays from (a finding's, when one is selected), at first
// the first title's. Selecting a finding, a point or an
// offset reports the pack that holds it (PackSelected), so the main dialog can show its
// tree line. Geometry, splitters and tabs are kept in the program's settings.

#include "app/inspector/CInspectWorker.h"
#include "app/inspector/InspectData.h"

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CByteView;
class CFindingsFilter;
class CFindingsModel;
class CPlotWidget;
class CStreamsModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;

class CInspectorWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit CInspectorWindow(std::shared_ptr<inspector::IInspectSource> source = nullptr, QWidget* parent = nullptr);
    ~CInspectorWindow() override;

    // Starts a pass over the file (stopping one under way first).
    void Inspect(const QString& path);
    void Cancel();
    bool IsRunning() const { return m_worker.IsRunning(); }
    // Blocks until the pass under way has ended and its result is shown (tests).
    void WaitForPass();

    // Shows the bytes of [offset, offset + length) and reports their pack. Length 0: the
    // element at offset (one that starts there, else the innermost that holds it); with
    // a stream, offset is a pack's and the element that stream's first stamped packet in
    // it.
    void SelectBytes(quint64 offset, quint64 length = 0, model::StreamKey stream = model::kNoStream);
    bool GoToOffset(const QString& text);
    // Shows the bytes of an element of the pack numbered pack (as the tree counts), named
    // what, reporting nothing back.
    void ShowElement(quint64 offset, quint64 length, quint32 pack, const QString& what);
    // Up to size bytes of the file on show.
    std::vector<uint8_t> ReadBytes(quint64 offset, quint64 size) const;

    // What selecting a pack did in the other window: a note for the status bar when it
    // could not show it there, empty when it did.
    using PackLink = std::function<QString(quint64 packOffset, quint32 pack)>;
    void SetPackLink(PackLink link) { m_packLink = std::move(link); }

    struct Element
    {
        quint64 offset = 0, length = 0;
        QString name;
    };
    // The element at offset, as SelectBytes finds it; length 0 when there is none.
    Element ElementAt(quint64 offset, model::StreamKey stream = model::kNoStream) const;

    std::shared_ptr<const inspector::InspectResult> Result() const { return m_result; }
    // What the streams, plots and bytes show: the file's result, or a disc's VOB set's.
    std::shared_ptr<const inspector::InspectResult> Shown() const { return m_shown; }
    // The disc's VOB set on show (an index of the disc's sets), -1 for none or a file.
    int ShownSet() const { return m_nShownSet; }
    // Shows a disc's VOB set in the streams, plots and bytes (false for none such).
    bool ShowSet(int set);
    QString FilePath() const { return m_path; }
    QString Message() const;

    // ---- parts, for the tests and the screenshots ----------------------------------------
    CStreamsModel* StreamsModel() const { return m_pStreams; }
    CFindingsModel* FindingsModel() const { return m_pFindings; }
    CFindingsFilter* FindingsFilter() const { return m_pFilter; }
    QTableView* FindingsView() const { return m_pFindingsView; }
    CByteView* ByteView() const { return m_pBytes; }
    QTabWidget* PlotTabs() const { return m_pPlotTabs; }
    QTabWidget* TableTabs() const { return m_pTableTabs; }
    CPlotWidget* Plot(int i) const;
    QProgressBar* ProgressBar() const { return m_pProgress; }
    QPushButton* CancelButton() const { return m_pCancel; }
    QLabel* SummaryLabel() const { return m_pSummary; }
    QTreeWidget* DiscTree() const { return m_pDiscTree; }
    QPushButton* AllFindingsButton() const { return m_pAllFindings; }
    // The Disc tab's line of an entry, and the entry of a line (-1 for a finding's line).
    QTreeWidgetItem* DiscItem(int entry) const;
    static constexpr int kEntryRole = Qt::UserRole + 1;
    static constexpr int kFindingRole = Qt::UserRole + 2;

    // Exports (false with a message in the window when the file cannot be written).
    bool ExportFindings(const QString& path);
    bool ExportStreams(const QString& path);
    bool ExportUnits(const QString& path);
    bool ExportPlot(int plot, const QString& path);

    static constexpr const char* kSettingsPrefix = "inspector";
    // File > Recent files: the files last inspected, the latest first.
    static constexpr int kRecentFiles = 8;
    QStringList RecentFiles() const;
    QMenu* RecentMenu() const { return m_pRecentMenu; }

signals:
    // The pack holding a selected element: its file offset and its number, counted from 1
    // as the tree's "PACK #n" lines count them.
    void PackSelected(quint64 packOffset, quint32 pack);
    void PassFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Writes a report made for an export; says so when it cannot.
    bool ExportReport(const QString& path, const std::string& report);
    void BuildMenus();
    void FillRecentMenu();
    void RememberFile(const QString& path);
    QWidget* BuildFindingsPage();
    QWidget* BuildDiscPage();
    void FillDiscTree();
    void OnDiscItem(QTreeWidgetItem* item);
    // Shows the bytes of a finding: in its VOB set, or in its own file (an IFO).
    void ShowFinding(int row);
    // The byte view on one file outside the set on show (a disc's IFO or BUP).
    void ShowLooseFile(const QString& path);
    void ShowStreamsAndPlots();
    void UpdateSummary();
    void OnOpenDisc();
    // The four plots on their tabs, under the tables' splitter.
    void BuildPlotTabs();
    // The byte view with its go-to field, the lower half of the window.
    void BuildBytesPage();
    void OnProgress(int percent);
    void OnFinished(std::shared_ptr<const inspector::InspectResult> result);
    void OnFailed(const QString& path, const QString& message);
    void OnFindingActivated(const QModelIndex& index);
    void RefillFilterChoices();
    void ShowMessage(const QString& text);
    void SetRunning(bool running);
    void SaveLayout() const;
    void RestoreLayout();
    void OnOpen();
    void OnExport(int what);
    void OnGoToOffset();

    CInspectWorker m_worker;
    std::shared_ptr<const inspector::InspectResult> m_result;
    std::shared_ptr<const inspector::InspectResult> m_shown;
    int m_nShownSet = -1;
    bool m_bLooseBytes = false;  // the bytes are a file's of its own: no packs
    bool m_bQuiet = false;       // the findings' selection is being moved, not by the user
    QString m_path;         // of the result on show
    QString m_pendingPath;  // of the pass under way

    QLabel* m_pFile = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QPushButton* m_pCancel = nullptr;
    QLabel* m_pMessage = nullptr;
    QLabel* m_pSummary = nullptr;
    QSplitter* m_pMainSplitter = nullptr;
    QSplitter* m_pTopSplitter = nullptr;
    QTabWidget* m_pTableTabs = nullptr;
    QTabWidget* m_pPlotTabs = nullptr;
    CStreamsModel* m_pStreams = nullptr;
    CFindingsModel* m_pFindings = nullptr;
    CFindingsFilter* m_pFilter = nullptr;
    QTableView* m_pFindingsView = nullptr;
    QTableView* m_pStreamsView = nullptr;
    QTreeWidget* m_pDiscTree = nullptr;
    QPushButton* m_pAllFindings = nullptr;
    QLabel* m_pFindingsScope = nullptr;
    std::vector<QTreeWidgetItem*> m_discItems;  // by entry
    QCheckBox* m_pShow[3] = {};
    QComboBox* m_pCheckChoice = nullptr;
    QComboBox* m_pStreamChoice = nullptr;
    CPlotWidget* m_pPlots[4] = {};
    CByteView* m_pBytes = nullptr;
    QLineEdit* m_pOffsetEdit = nullptr;
    PackLink m_packLink;
    QMenu* m_pRecentMenu = nullptr;
};
