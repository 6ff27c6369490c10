#pragma once
// The main dialog: the file-name field, the buttons, the result tree and the progress
// bar. It owns the result tree and the analysis run, routes each button to its handler
// and is the run's host: the run reports its start, progress and end here and keeps the
// window alive through Pump.

#include "analysis/CAnalysisDriver.h"
#include "analysis/CResultTree.h"
#include "analysis/IAnalysisHost.h"
#include "app/CResultTreeModel.h"
#include "controls/CHoverEdit.h"
#include "controls/CMaskedPicture.h"
#include "controls/CQuimbelButton.h"
#include "controls/CSkinDialog.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QProgressBar>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class CInspectorHooks;
class QLabel;
class QMenu;

class CAnalyzerDlg : public CSkinDialog, public IAnalysisHost
{
    Q_OBJECT
public:
    explicit CAnalyzerDlg(QWidget* parent = nullptr);
    ~CAnalyzerDlg() override;

    static constexpr const char* kCaption = "Varnodel     V1.1.2a";
    static constexpr const char* kInputFilter =
        "MPEG Files|*.mpg;*.vob;*.mpv;*.m2v;*.m2p;*.mp2;*.mpa|All files|*.*;*||";
    static constexpr const char* kInputTitle = "Open MPEG PS";
    static constexpr const char* kAnalysisFilter = "Analysis files|*.aaf|All files|*.*;*||";
    static constexpr const char* kAboutMenuText = "&About Varnodel ";
    static constexpr const char* kSaveMenuText = "&Save analysis...";
    static constexpr const char* kByLengthMenuText = "&Follow packet lengths";

    // Window-menu commands; the low four bits are free for the window manager's use,
    // so commands are told apart by the rest.
    static constexpr unsigned IDM_ABOUTBOX = 0x0010;
    static constexpr unsigned IDM_SAVEANALYSIS = 0x0020;
    static constexpr unsigned SC_MOVE = 0xF010;
    static constexpr unsigned SC_MINIMIZE = 0xF020;
    static constexpr unsigned SC_CLOSE = 0xF060;

    void setVisible(bool visible) override;
    // Shows the dialog and returns once it has ended, with its result. Other windows of
    // the program take input meanwhile.
    int exec() override;

    // Field to member (bSaveAndValidate) or member to field.
    bool UpdateData(bool bSaveAndValidate = true);

    // ---- handlers ----------------------------------------------------------------------
    void OnSysCommand(unsigned nID);
    void OnBrowse();
    void OnAnalyze();
    void OnStop();
    void OnOptions();
    void OnSaveAnalysis();
    void OnCopyLine();
    // The window menu at a global position (Alt+Space, or a right click on the background).
    void ShowWindowMenu(const QPoint& globalPos);

    // ---- the run's host ----------------------------------------------------------------
    void OnRunStarted() override;
    void OnProgress(uint32_t percent) override;
    void Pump() override;
    void OnRunEnded() override;
    void ShowMessage(const std::string& text, const std::string& caption) override;

    bool IsRunning() const { return m_driver.IsRunning(); }
    const CAnalysisDriver& Driver() const { return m_driver; }
    CResultTree& ResultTree() { return m_resultTree; }
    CResultTreeModel& Model() { return m_model; }
    QMenu* WindowMenu() const { return m_pWindowMenu; }
    // A control placed at the template's coordinates that keeps its distance to the right
    // edge when the window grows, as the buttons do.
    void AnchorToRightEdge(QWidget* widget);
    // The inspector's button, shortcuts and links (made with the window menu).
    CInspectorHooks* Inspector() const { return m_pInspector.get(); }

    // A message box with the platform's default caption when none is given.
    void MessageBox(const QString& text, const QString& caption = QString(), const QString& informative = QString());

    // Puts path in the field and analyses it once the dialog runs (a file named on the
    // command line).
    void AnalyzeOnStart(const QString& path);
    // The name the save command proposes: the analysed file's, with ".aaf" appended.
    QString ProposedSaveName() const;

    // ---- state -------------------------------------------------------------------------
    QString m_strFileName;
    QIcon m_hIcon;
    uint8_t m_bSaveIn = 0;          // "savein", low byte only
    uint32_t m_nMaxPackets = 100;   // "maxpackets", 0 = whole file

private:
    // Declared before the controls: the view must never outlive the store it shows.
    CResultTree m_resultTree;
    CAnalysisDriver m_driver;
    CResultTreeModel m_model;

public:
    // ---- controls, in the order the dialog binds them ------------------------------------
    CMaskedPicture m_picLogo;        // 1016
    CHoverEdit m_editFileName;       // 1001
    CQuimbelButton m_btnSave;        // 1015, hidden
    CQuimbelButton m_btnBrowse;      // 1002 "..."
    CQuimbelButton m_btnOptions;     // 1019
    CQuimbelButton m_btnExit;        // 1, the OK command
    QProgressBar m_progress;         // 1006
    CQuimbelButton m_btnStop;        // 1005
    CQuimbelButton m_btnAnalyze;     // 1003
    CResultView m_treeView;          // 1000
    QLabel* m_pLabelFile = nullptr;  // "MPEG2 PS:"

public slots:
    void accept() override;
    void reject() override;

protected:
    virtual bool OnInitDialog();
    void OnItemExpanded(const QModelIndex& index);
    void OnItemCollapsed(const QModelIndex& index);
    // The lines the run expanded itself (the error mark), shown expanded.
    void ExpandMarkedLines();

    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void done(int result) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWindowMenu();
    // The title: the caption, and the root line's note while a partial tree is shown.
    void ShowTitleFor(CAnalysisDriver::Outcome outcome);

    // How a control follows the window when it grows: its template rectangle and which
    // edges move with the right and bottom edges of the window.
    struct Anchor
    {
        QWidget* widget;
        QRect rect;
        bool left, right, top, bottom;
    };
    std::vector<Anchor> m_anchors;
    QSize m_initialSize;
    // The local file a drag carries, or an empty string.
    // The controls at the template's places, and how each follows a larger window.
    void PlaceControls();
    // Buttons, field, tree and shortcuts to their handlers.
    void ConnectControls();
    static QString DroppedFile(const QMimeData* mime);

    QMenu* m_pWindowMenu = nullptr;
    std::unique_ptr<CInspectorHooks> m_pInspector;
    QElapsedTimer m_pumpClock;
    uint32_t m_nPumpCalls = 0;
    bool m_bInitDone = false;
    bool m_bEndAfterRun = false;         // closing was asked for during a run
    bool m_bExpandingFromProgram = false;
    bool m_bStopHadFocus = false;
};
