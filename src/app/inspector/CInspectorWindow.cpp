#include "app/inspector/CInspectorWindow.h"

#include "app/CAnalyzerApp.h"
#include "app/ModalRun.h"
#include "app/inspector/CByteView.h"
#include "app/inspector/CInspectTables.h"
#include "app/inspector/CPlotWidget.h"
#include "app/inspector/Decimate.h"
#include "app/inspector/InspectDisc.h"
#include "app/inspector/InspectExport.h"
#include "app/inspector/InspectPlots.h"
#include "app/inspector/PackElements.h"
#include "disc/DiscReport.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <set>

namespace
{
enum Export
{
    ExportFindingsFile,
    ExportStreamsFile,
    ExportUnitsFile,
    ExportPlotFile
};

QString SettingKey(const char* name)
{
    return QLatin1String(CInspectorWindow::kSettingsPrefix) + QLatin1String(name);
}

void SaveBytes(const char* name, const QByteArray& bytes)
{
    CAnalyzerApp::WriteProfileString(QString::fromLatin1(ProgOpts::kSection), SettingKey(name),
                                     QString::fromLatin1(bytes.toBase64()));
}

QByteArray LoadBytes(const char* name)
{
    return QByteArray::fromBase64(
        CAnalyzerApp::GetProfileString(QString::fromLatin1(ProgOpts::kSection), SettingKey(name)).toLatin1());
}

inspector::ExportFormat FormatOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("json") || suffix == QLatin1String("jsonl"))
        return inspector::ExportFormat::Json;
    if (suffix == QLatin1String("csv"))
        return inspector::ExportFormat::Csv;
    return inspector::ExportFormat::Text;
}

// What the streams, plots and bytes show where a disc has no VOB set to show.
std::shared_ptr<const inspector::InspectResult> NoResult()
{
    static const auto none = std::make_shared<const inspector::InspectResult>();
    return none;
}

// A file or a folder (a disc) dropped on the window.
QString DroppedFile(const QMimeData* mime)
{
    if (mime == nullptr || !mime->hasUrls() || mime->urls().isEmpty() || !mime->urls().first().isLocalFile())
        return QString();
    return mime->urls().first().toLocalFile();
}
}  // namespace

// ---------------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------------

CInspectorWindow::CInspectorWindow(std::shared_ptr<inspector::IInspectSource> source, QWidget* parent)
    : QMainWindow(parent),
      m_worker(source ? std::move(source) : std::shared_ptr<inspector::IInspectSource>(inspector::MakeModelSource()))
{
    setWindowTitle(QStringLiteral("Varnodel inspector"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAcceptDrops(true);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    auto* top = new QHBoxLayout;
    m_pFile = new QLabel(
        QStringLiteral("Drop a file or a disc's VIDEO_TS folder here, or choose one with File > Inspect file... or "
                       "File > Inspect disc..."),
        central);
    m_pFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pProgress = new QProgressBar(central);
    m_pProgress->setRange(0, 100);
    m_pProgress->setMaximumWidth(240);
    m_pCancel = new QPushButton(QStringLiteral("Cancel"), central);
    top->addWidget(m_pFile, 1);
    top->addWidget(m_pProgress);
    top->addWidget(m_pCancel);
    layout->addLayout(top);
    m_pFile->setToolTip(QStringLiteral("The file or disc inspected; drop another file, or a disc's VIDEO_TS folder, "
                                       "on the window to inspect it instead"));
    m_pProgress->setToolTip(QStringLiteral("How far the pass over the file has come"));
    m_pCancel->setToolTip(QStringLiteral("Stop the pass: what it has read so far is shown"));

    m_pMessage = new QLabel(central);
    m_pMessage->setWordWrap(true);
    m_pMessage->setStyleSheet(QStringLiteral("QLabel { color: #b00000; font-weight: bold; }"));
    m_pMessage->hide();
    layout->addWidget(m_pMessage);
    m_pSummary = new QLabel(central);
    m_pSummary->setToolTip(QStringLiteral("What the checks found in the whole file, as varnodel-cli --check counts it"));
    layout->addWidget(m_pSummary);

    // Tables | plots above, bytes below.
    m_pMainSplitter = new QSplitter(Qt::Vertical, central);
    m_pTopSplitter = new QSplitter(Qt::Horizontal, m_pMainSplitter);
    m_pTableTabs = new QTabWidget(m_pTopSplitter);
    m_pTableTabs->addTab(BuildFindingsPage(), QStringLiteral("Findings"));
    m_pStreams = new CStreamsModel(this);
    m_pStreamsView = new QTableView(m_pTableTabs);
    m_pStreamsView->setModel(m_pStreams);
    m_pStreamsView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pStreamsView->verticalHeader()->hide();
    m_pTableTabs->addTab(m_pStreamsView, QStringLiteral("Streams"));
    m_pTableTabs->addTab(BuildDiscPage(), QStringLiteral("Disc"));
    m_pTableTabs->setTabToolTip(0, QStringLiteral("What the checks found, one row per fault (a fault that repeats: one "
                                                  "row and its count); select one to see its bytes and its pack"));
    m_pTableTabs->setTabToolTip(1, QStringLiteral("The elementary streams with their codec's properties"));
    m_pTableTabs->setTabToolTip(2, QStringLiteral("A disc's titles, the PGCs they play and their cells, each with the "
                                                  "findings that belong to it; select one to see its findings, its "
                                                  "bytes and its VOB set's streams and plots"));
    m_pStreamsView->setToolTip(QStringLiteral("The elementary streams, as varnodel-cli --streams lists them"));

    BuildPlotTabs();
    BuildBytesPage();

    m_pMainSplitter->setStretchFactor(0, 3);
    m_pMainSplitter->setStretchFactor(1, 1);
    layout->addWidget(m_pMainSplitter, 1);
    setCentralWidget(central);

    BuildMenus();
    SetRunning(false);
    resize(1100, 750);
    RestoreLayout();

    connect(m_pCancel, &QPushButton::clicked, this, &CInspectorWindow::Cancel);
    connect(&m_worker, &CInspectWorker::Progress, this, &CInspectorWindow::OnProgress);
    connect(&m_worker, &CInspectWorker::Finished, this, &CInspectorWindow::OnFinished);
    connect(&m_worker, &CInspectWorker::Failed, this, &CInspectorWindow::OnFailed);
}

void CInspectorWindow::BuildPlotTabs()
{
    m_pPlotTabs = new QTabWidget(m_pTopSplitter);
    m_pPlots[0] = new CPlotWidget(QStringLiteral("time (s)"), QStringLiteral("bit/s"));
    m_pPlots[1] = new CPlotWidget(QStringLiteral("arrival (s)"), QStringLiteral("time stamp - arrival (s)"));
    m_pPlots[2] = new CPlotWidget(QStringLiteral("time (s)"), QStringLiteral("buffer fullness (% of its size)"));
    m_pPlots[3] = new CPlotWidget(QStringLiteral("picture (coded order)"), QStringLiteral("bytes"));
    const char* const plotNames[4] = {"Bit rate", "Time stamps", "Buffers", "Picture sizes"};
    const char* const plotTips[4] = {
        "Bits per second of each stream and of all, per GOP for video, and the packs' mux rate",
        "How far ahead of its presentation each stream arrives (time stamp minus arrival), and each pack's SCR "
        "against its arrival",
        "Each decoder buffer's fullness as a share of its size, with the overflows and underflows found",
        "The size of each picture in coded order, by coding type, with the GOP starts"};
    for (int i = 0; i < 4; ++i)
    {
        m_pPlotTabs->addTab(m_pPlots[i], QString::fromLatin1(plotNames[i]));
        m_pPlotTabs->setTabToolTip(i, QString::fromLatin1(plotTips[i]));
        m_pPlots[i]->setToolTip(QString::fromLatin1(plotTips[i]) +
                                QStringLiteral(". Wheel: zoom; drag: pan; double click: everything; a click on a "
                                               "legend entry hides or shows it, on a point shows its bytes"));
        connect(m_pPlots[i], &CPlotWidget::Hovered, this, [this](const QString& text) { statusBar()->showMessage(text); });
        connect(m_pPlots[i], &CPlotWidget::ElementClicked, this,
                [this](quint64 offset, quint32 size, quint16 stream) { SelectBytes(offset, size, stream); });
    }
}

void CInspectorWindow::BuildBytesPage()
{
    auto* bytesPage = new QWidget(m_pMainSplitter);
    auto* bytesLayout = new QVBoxLayout(bytesPage);
    bytesLayout->setContentsMargins(0, 0, 0, 0);
    auto* goLayout = new QHBoxLayout;
    m_pOffsetEdit = new QLineEdit(bytesPage);
    m_pOffsetEdit->setPlaceholderText(QStringLiteral("offset (decimal, or hex with 0x)"));
    auto* go = new QPushButton(QStringLiteral("Go to offset"), bytesPage);
    m_pOffsetEdit->setToolTip(QStringLiteral("A byte offset of the file, decimal or hex with 0x (Ctrl+G)"));
    go->setToolTip(QStringLiteral("Show the bytes at the offset, and its pack in the main window's tree"));
    goLayout->addWidget(new QLabel(QStringLiteral("Bytes"), bytesPage));
    goLayout->addStretch(1);
    goLayout->addWidget(m_pOffsetEdit);
    goLayout->addWidget(go);
    bytesLayout->addLayout(goLayout);
    m_pBytes = new CByteView(bytesPage);
    m_pBytes->setToolTip(QStringLiteral("The file's bytes in hex and ASCII; the selected element is highlighted"));
    bytesLayout->addWidget(m_pBytes, 1);
    connect(go, &QPushButton::clicked, this, [this] { GoToOffset(m_pOffsetEdit->text()); });
    connect(m_pOffsetEdit, &QLineEdit::returnPressed, this, [this] { GoToOffset(m_pOffsetEdit->text()); });
}

CInspectorWindow::~CInspectorWindow()
{
    // A pass under way ends unseen: its result would only be shown to a closing window.
    disconnect(&m_worker, nullptr, this, nullptr);
    m_worker.Cancel();
    m_worker.Wait();
}

QWidget* CInspectorWindow::BuildFindingsPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* filters = new QHBoxLayout;
    m_pFindings = new CFindingsModel(this);
    m_pFilter = new CFindingsFilter(this);
    m_pFilter->setSourceModel(m_pFindings);
    const char* const names[3] = {"Errors", "Warnings", "Infos"};
    for (int i = 0; i < 3; ++i)
    {
        m_pShow[i] = new QCheckBox(QString::fromLatin1(names[i]), page);
        m_pShow[i]->setChecked(true);
        m_pShow[i]->setToolTip(QStringLiteral("Show the %1 in the table").arg(QString::fromLatin1(names[i]).toLower()));
        filters->addWidget(m_pShow[i]);
        connect(m_pShow[i], &QCheckBox::toggled, this,
                [this, i](bool on) { m_pFilter->SetSeverityShown(static_cast<checks::Severity>(i), on); });
    }
    m_pCheckChoice = new QComboBox(page);
    m_pStreamChoice = new QComboBox(page);
    m_pCheckChoice->setToolTip(QStringLiteral("Show the findings of one check only"));
    m_pStreamChoice->setToolTip(QStringLiteral("Show the findings of one stream only"));
    filters->addWidget(new QLabel(QStringLiteral("Check:"), page));
    filters->addWidget(m_pCheckChoice, 1);
    filters->addWidget(new QLabel(QStringLiteral("Stream:"), page));
    filters->addWidget(m_pStreamChoice);
    layout->addLayout(filters);
    auto* scope = new QHBoxLayout;
    m_pFindingsScope = new QLabel(page);
    m_pAllFindings = new QPushButton(QStringLiteral("All findings"), page);
    m_pAllFindings->setToolTip(QStringLiteral("Show the findings of the whole disc again, not only the Disc tab's entry's"));
    scope->addWidget(m_pFindingsScope, 1);
    scope->addWidget(m_pAllFindings);
    layout->addLayout(scope);
    m_pFindingsScope->hide();
    m_pAllFindings->hide();
    connect(m_pAllFindings, &QPushButton::clicked, this, [this] {
        m_pDiscTree->setCurrentItem(nullptr);
        m_pDiscTree->clearSelection();
        m_pFilter->SetRows(nullptr);
        m_pFindingsScope->hide();
        m_pAllFindings->hide();
    });
    connect(m_pCheckChoice, &QComboBox::currentIndexChanged, this,
            [this](int i) { m_pFilter->SetCheck(i <= 0 ? QString() : m_pCheckChoice->itemText(i)); });
    connect(m_pStreamChoice, &QComboBox::currentIndexChanged, this,
            [this](int i) { m_pFilter->SetStream(i <= 0 ? QString() : m_pStreamChoice->itemText(i)); });

    m_pFindingsView = new QTableView(page);
    m_pFindingsView->setModel(m_pFilter);
    m_pFindingsView->setSortingEnabled(true);
    m_pFindingsView->sortByColumn(CFindingsModel::ColOffset, Qt::AscendingOrder);
    m_pFindingsView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pFindingsView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pFindingsView->verticalHeader()->hide();
    m_pFindingsView->horizontalHeader()->setStretchLastSection(true);
    m_pFindingsView->setToolTip(QStringLiteral("Select a finding to see its bytes and its pack in the main window's tree"));
    layout->addWidget(m_pFindingsView, 1);
    connect(m_pFindingsView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { OnFindingActivated(current); });
    return page;
}

QWidget* CInspectorWindow::BuildDiscPage()
{
    m_pDiscTree = new QTreeWidget;
    m_pDiscTree->setColumnCount(2);
    m_pDiscTree->setHeaderLabels({QStringLiteral("Title, PGC, cell"), QStringLiteral("Findings")});
    m_pDiscTree->headerItem()->setToolTip(0, QStringLiteral("As varnodel-cli --disc lists them, with the findings of "
                                                            "each under it"));
    m_pDiscTree->headerItem()->setToolTip(1, QStringLiteral("How many findings belong to it and the entries under it"));
    m_pDiscTree->setUniformRowHeights(true);
    // The counts stay in sight; a long line is cut short (its tool tip has it whole).
    m_pDiscTree->header()->setStretchLastSection(false);
    m_pDiscTree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_pDiscTree->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_pDiscTree->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(m_pDiscTree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnDiscItem(current); });
    return m_pDiscTree;
}

QTreeWidgetItem* CInspectorWindow::DiscItem(int entry) const
{
    return entry >= 0 && static_cast<size_t>(entry) < m_discItems.size() ? m_discItems[static_cast<size_t>(entry)]
                                                                           : nullptr;
}

void CInspectorWindow::FillDiscTree()
{
    const QSignalBlocker quiet(m_pDiscTree);
    m_pDiscTree->clear();
    m_discItems.clear();
    const inspector::DiscInspection* d = m_result ? m_result->disc.get() : nullptr;
    if (d == nullptr)
    {
        auto* none = new QTreeWidgetItem(m_pDiscTree, {QStringLiteral("Not a disc: inspect one with File > Inspect "
                                                                      "disc..., or drop its VIDEO_TS folder here")});
        none->setFlags(Qt::NoItemFlags);
        return;
    }
    for (size_t i = 0; i < d->entries.size(); ++i)
    {
        const inspector::DiscEntry& e = d->entries[i];
        QTreeWidgetItem* parent = e.parent >= 0 ? m_discItems[static_cast<size_t>(e.parent)] : nullptr;
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_pDiscTree);
        item->setText(0, QString::fromStdString(e.text));
        item->setToolTip(0, QString::fromStdString(e.text));
        item->setData(0, kEntryRole, static_cast<int>(i));
        if (!e.all.empty())
        {
            item->setText(1, QString::number(e.all.size()));
            item->setIcon(1, SeverityIcon(static_cast<checks::Severity>(e.worst)));
        }
        m_discItems.push_back(item);
    }
    // Each entry's own findings under it, after the entries below it.
    for (size_t i = 0; i < d->entries.size(); ++i)
        for (uint32_t f : d->entries[i].findings)
        {
            const disc::DiscFinding& finding = d->findings[f];
            auto* item = new QTreeWidgetItem(m_discItems[i]);
            const QString line = QString::fromStdString(disc::FormatDiscFinding(finding));
            item->setText(0, line);
            item->setToolTip(0, QString::fromStdString(finding.file) + QStringLiteral(": ") + line);
            item->setIcon(0, SeverityIcon(finding.finding.severity));
            item->setData(0, kEntryRole, -1);
            item->setData(0, kFindingRole, static_cast<int>(f));
        }
    for (QTreeWidgetItem* item : m_discItems)
        if (item->parent() == nullptr)
            item->setExpanded(true);
}

void CInspectorWindow::OnDiscItem(QTreeWidgetItem* item)
{
    const inspector::DiscInspection* d = m_result ? m_result->disc.get() : nullptr;
    if (item == nullptr || d == nullptr)
        return;
    const QVariant finding = item->data(0, kFindingRole);
    if (finding.isValid())
        return ShowFinding(finding.toInt());
    const int entry = item->data(0, kEntryRole).toInt();
    if (entry < 0 || static_cast<size_t>(entry) >= d->entries.size())
        return;
    const inspector::DiscEntry& e = d->entries[static_cast<size_t>(entry)];

    // Its findings in the table, the first of them selected; the bytes stay the entry's.
    QStringList names;
    for (int up = entry; up >= 0; up = d->entries[static_cast<size_t>(up)].parent)
        names.prepend(QString::fromStdString(d->entries[static_cast<size_t>(up)].text).section(QLatin1Char(':'), 0, 0));
    m_pFilter->SetRows(&e.all);
    m_pFindingsScope->setText(QStringLiteral("The findings of %1: %2").arg(names.join(QStringLiteral(", "))).arg(e.all.size()));
    m_pFindingsScope->show();
    m_pAllFindings->show();
    m_bQuiet = true;
    if (m_pFilter->rowCount() > 0)
        m_pFindingsView->selectRow(0);
    else
        m_pFindingsView->clearSelection();
    m_bQuiet = false;

    if (e.set >= 0)
        ShowSet(e.set);
    else if (e.kind == inspector::DiscEntry::Kind::File && !d->PathOf(e.text).empty())
        ShowLooseFile(QFile::decodeName(QByteArray::fromStdString(d->PathOf(e.text))));
    // A cell: its first pack.
    if (e.kind == inspector::DiscEntry::Kind::Cell && e.set >= 0)
    {
        const uint64_t at = uint64_t{e.firstSector} * disc::kBlock;
        if (at >= m_pBytes->FileSize())
        {
            statusBar()->showMessage(QStringLiteral("Sector %1 of the cell lies past the end of the VOB files of %2")
                                         .arg(e.firstSector)
                                         .arg(QString::fromStdString(d->sets[static_cast<size_t>(e.set)].name)));
            return;
        }
        const inspector::PackColumns& packs = m_shown->packs;
        const uint32_t pack = packs.PackAt(at);
        const bool starts = packs.size() > 0 && packs.offset[pack] == at;
        SelectBytes(at, starts ? packs.PackLength(pack, m_shown->fileSize) : disc::kBlock);
    }
}

void CInspectorWindow::ShowFinding(int row)
{
    const inspector::DiscInspection* d = m_result ? m_result->disc.get() : nullptr;
    const checks::Finding* f = m_pFindings->FindingAt(row);
    if (f == nullptr)
        return;
    if (d == nullptr)
        return SelectBytes(f->offset, 0);
    const inspector::DiscInspection::Place place = d->PlaceOf(static_cast<size_t>(row));
    if (place.set >= 0)
    {
        ShowSet(place.set);
        return SelectBytes(place.offset, 0);
    }
    if (place.path.empty())
    {
        statusBar()->showMessage(QStringLiteral("%1 is not on the disc: no bytes to show").arg(QString::fromStdString(place.name)));
        return;
    }
    ShowLooseFile(QFile::decodeName(QByteArray::fromStdString(place.path)));
    SelectBytes(place.offset, 1);
}

void CInspectorWindow::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setToolTipsVisible(true);
    file->addAction(QStringLiteral("&Inspect file..."), QKeySequence::Open, this, &CInspectorWindow::OnOpen)
        ->setToolTip(QStringLiteral("Choose a file to inspect"));
    file->addAction(QStringLiteral("Inspect &disc..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), this,
                    &CInspectorWindow::OnOpenDisc)
        ->setToolTip(QStringLiteral("Choose a DVD-Video disc to inspect: its VIDEO_TS folder, or the folder that "
                                    "holds it"));
    m_pRecentMenu = file->addMenu(QStringLiteral("&Recent files"));
    m_pRecentMenu->setToolTipsVisible(true);
    connect(m_pRecentMenu, &QMenu::aboutToShow, this, &CInspectorWindow::FillRecentMenu);
    FillRecentMenu();
    file->addSeparator();
    const char* const exports[4][2] = {
        {"Export &findings...", "The findings as the check report (text or JSON), or CSV"},
        {"Export &streams...", "The stream list (text or JSON), or CSV"},
        {"Export &units...", "Every access unit as CSV or JSON lines"},
        {"Export &plot...", "The plot on show as a PNG picture or an SVG drawing"},
    };
    for (int what = ExportFindingsFile; what <= ExportPlotFile; ++what)
        file->addAction(QString::fromLatin1(exports[what][0]), this, [this, what] { OnExport(what); })
            ->setToolTip(QString::fromLatin1(exports[what][1]));
    file->addSeparator();
    file->addAction(QStringLiteral("&Close"), QKeySequence::Close, this, &QWidget::close);
    QMenu* go = menuBar()->addMenu(QStringLiteral("&Go"));
    go->addAction(QStringLiteral("Go to &offset..."), QKeySequence(Qt::CTRL | Qt::Key_G), this,
                  &CInspectorWindow::OnGoToOffset);
}

QStringList CInspectorWindow::RecentFiles() const
{
    QStringList files = CAnalyzerApp::GetProfileString(QString::fromLatin1(ProgOpts::kSection), SettingKey("recent"))
                            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    while (files.size() > kRecentFiles)
        files.removeLast();
    return files;
}

void CInspectorWindow::RememberFile(const QString& path)
{
    QStringList files = RecentFiles();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    files.removeAll(absolute);
    files.prepend(absolute);
    while (files.size() > kRecentFiles)
        files.removeLast();
    CAnalyzerApp::WriteProfileString(QString::fromLatin1(ProgOpts::kSection), SettingKey("recent"),
                                     files.join(QLatin1Char('\n')));
}

void CInspectorWindow::FillRecentMenu()
{
    m_pRecentMenu->clear();
    const QStringList files = RecentFiles();
    for (int i = 0; i < files.size(); ++i)
    {
        // "&1 clip.mpg", the folder in the tool tip.
        QAction* action = m_pRecentMenu->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(files[i]).fileName().replace(QLatin1Char('&'),
                                                                                            QStringLiteral("&&"))));
        action->setToolTip(QDir::toNativeSeparators(files[i]));
        const QString path = files[i];
        connect(action, &QAction::triggered, this, [this, path] { Inspect(path); });
    }
    if (files.isEmpty())
        m_pRecentMenu->addAction(QStringLiteral("(none yet)"))->setEnabled(false);
}

CPlotWidget* CInspectorWindow::Plot(int i) const
{
    return i >= 0 && i < 4 ? m_pPlots[i] : nullptr;
}

// ---------------------------------------------------------------------------------
// The pass
// ---------------------------------------------------------------------------------

void CInspectorWindow::Inspect(const QString& path)
{
    m_pendingPath = path;
    m_pMessage->hide();
    SetRunning(true);
    m_pProgress->setValue(0);
    m_pFile->setText(QStringLiteral("Inspecting %1").arg(QDir::toNativeSeparators(path)));
    m_worker.Start(path);
}

void CInspectorWindow::Cancel()
{
    m_worker.Cancel();
}

void CInspectorWindow::WaitForPass()
{
    m_worker.Wait();
}

void CInspectorWindow::SetRunning(bool running)
{
    m_pProgress->setVisible(running);
    m_pCancel->setVisible(running);
    m_pCancel->setEnabled(running);
}

void CInspectorWindow::OnProgress(int percent)
{
    m_pProgress->setValue(percent);
}

void CInspectorWindow::OnFinished(std::shared_ptr<const inspector::InspectResult> result)
{
    SetRunning(false);
    m_result = std::move(result);
    m_path = m_pendingPath;
    m_pFile->setText(QDir::toNativeSeparators(m_path));
    RememberFile(m_path);
    // The entry whose findings the table showed belongs to what was on show before.
    m_pFilter->SetRows(nullptr);
    m_pFindingsScope->hide();
    m_pAllFindings->hide();
    m_pFindings->SetResult(m_result);
    if (m_result->disc)
        m_pFindingsView->sortByColumn(CFindingsModel::ColFile, Qt::AscendingOrder);
    m_pFindingsView->resizeColumnsToContents();
    RefillFilterChoices();
    m_shown.reset();
    m_nShownSet = -1;
    m_bLooseBytes = false;
    FillDiscTree();
    if (m_result->disc)
        ShowSet(m_result->disc->FirstTitleSet());
    else
    {
        m_shown = m_result;
        ShowStreamsAndPlots();
        if (!m_pBytes->SetFile(m_path))
            ShowMessage(QStringLiteral("The bytes of %1 cannot be shown: the file cannot be opened.").arg(m_path));
    }
    UpdateSummary();
    emit PassFinished();
}

void CInspectorWindow::ShowStreamsAndPlots()
{
    m_pStreams->SetResult(m_shown);
    m_pStreamsView->resizeColumnsToContents();
    FillPlots(m_shown, {m_pPlots[0], m_pPlots[1], m_pPlots[2], m_pPlots[3]});
}

void CInspectorWindow::UpdateSummary()
{
    if (!m_result)
        return;
    const inspector::DiscInspection* d = m_result->disc.get();
    QString summary = d ? QString::fromStdString(d->totals) : SummaryText(*m_result);
    if (d && m_nShownSet >= 0)
    {
        const inspector::DiscSet& set = d->sets[static_cast<size_t>(m_nShownSet)];
        summary += QStringLiteral("; streams, plots and bytes of %1 (%2)")
                       .arg(QString::fromStdString(set.name),
                            QString::fromStdString(set.names.size() == 1
                                                       ? set.names.front()
                                                       : set.names.front() + " to " + set.names.back()));
    }
    else if (d)
        summary += QStringLiteral("; no VOB set was read");
    if (m_result->stopped)
        summary += d ? QStringLiteral(" (cancelled: the VOB files up to where the pass stopped only)")
                     : QStringLiteral(" (cancelled: the file up to offset %1 only)")
                           .arg(m_result->packs.size() ? m_result->packs.offset.back() : 0);
    if (m_result->readError)
        summary += QStringLiteral(" (read error: the file is shown up to where reading failed)");
    m_pSummary->setText(summary);
}

bool CInspectorWindow::ShowSet(int set)
{
    const inspector::DiscInspection* d = m_result ? m_result->disc.get() : nullptr;
    if (d == nullptr)
        return false;
    const bool valid = set >= 0 && static_cast<size_t>(set) < d->sets.size();
    if (!valid)
        set = -1;
    if (m_shown && set == m_nShownSet && !m_bLooseBytes)
        return valid;
    if (!m_shown || set != m_nShownSet)
    {
        m_nShownSet = set;
        m_shown = valid ? d->sets[static_cast<size_t>(set)].result : NoResult();
        ShowStreamsAndPlots();
        UpdateSummary();
    }
    m_bLooseBytes = false;
    if (!valid)
    {
        m_pBytes->Clear();
        return false;
    }
    QStringList paths;
    for (const std::string& path : d->sets[static_cast<size_t>(set)].paths)
        paths << QFile::decodeName(QByteArray::fromStdString(path));
    if (!m_pBytes->SetFiles(paths))
        ShowMessage(QStringLiteral("The bytes of %1 cannot be shown: a file of its VOB set cannot be opened.")
                        .arg(QString::fromStdString(d->sets[static_cast<size_t>(set)].name)));
    return true;
}

void CInspectorWindow::ShowLooseFile(const QString& path)
{
    m_bLooseBytes = true;
    if (!m_pBytes->SetFile(path))
        ShowMessage(QStringLiteral("The bytes of %1 cannot be shown: the file cannot be opened.").arg(path));
}

void CInspectorWindow::OnFailed(const QString& path, const QString& message)
{
    // What was on show stays: the window only says why nothing new came.
    SetRunning(false);
    m_pFile->setText(m_path.isEmpty() ? QString() : QDir::toNativeSeparators(m_path));
    ShowMessage(message.isEmpty() ? QStringLiteral("Cannot open input file %1").arg(path) : message);
    emit PassFinished();
}

void CInspectorWindow::ShowMessage(const QString& text)
{
    m_pMessage->setText(text);
    m_pMessage->show();
}

QString CInspectorWindow::Message() const
{
    return m_pMessage->isVisible() || !m_pMessage->isHidden() ? m_pMessage->text() : QString();
}

void CInspectorWindow::RefillFilterChoices()
{
    std::set<std::string> checkIds, streams;
    for (const checks::Finding& f : m_result->findings)
    {
        checkIds.insert(f.check);
        if (f.stream != model::kNoStream)
            streams.insert(checks::StreamName(f.stream));
    }
    m_pCheckChoice->clear();
    m_pCheckChoice->addItem(QStringLiteral("(all)"));
    for (const std::string& id : checkIds)
        m_pCheckChoice->addItem(QString::fromStdString(id));
    m_pStreamChoice->clear();
    m_pStreamChoice->addItem(QStringLiteral("(all)"));
    for (const std::string& s : streams)
        m_pStreamChoice->addItem(QString::fromStdString(s));
}

// ---------------------------------------------------------------------------------
// Selection
// ---------------------------------------------------------------------------------

void CInspectorWindow::OnFindingActivated(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    if (!m_bQuiet)
        ShowFinding(index.data(CFindingsModel::FindingRole).toInt());
}

std::vector<uint8_t> CInspectorWindow::ReadBytes(quint64 offset, quint64 size) const
{
    return m_pBytes->Read(offset, size);
}

CInspectorWindow::Element CInspectorWindow::ElementAt(quint64 offset, model::StreamKey stream) const
{
    Element found;
    if (!m_shown || m_bLooseBytes || m_shown->packs.size() == 0)
        return found;
    const inspector::PackColumns& packs = m_shown->packs;
    const uint32_t pack = packs.PackAt(offset);
    const uint64_t packStart = packs.offset[pack];
    const std::vector<uint8_t> bytes =
        m_pBytes->Read(packStart, std::min<uint64_t>(packs.PackLength(pack, m_shown->fileSize), 1 << 20));
    const std::vector<inspector::PackElement> elements = inspector::WalkElements(bytes.data(), bytes.size(), packStart);
    auto take = [&](const inspector::ByteRange& range, const std::string& name) {
        found = {range.offset, range.size, QString::fromStdString(name)};
    };
    // A point of a stream's time stamps: its first stamped packet in the pack.
    if (stream != model::kNoStream)
        for (const inspector::PackElement& e : elements)
            if (e.stream == stream && e.hasPts)
                return take(e.whole, inspector::ElementName(e)), found;
    for (const inspector::PackElement& e : elements)
        if (e.whole.offset == offset)
            return take(e.whole, inspector::ElementName(e)), found;
    // An access unit that starts there: a picture, an audio frame (the bytes of its first
    // packet; a unit that goes on in later packets has their headers in between).
    for (const auto& series : m_shown->units.Series())
    {
        const model::CUnitSeries& u = *series;
        const size_t lo = inspector::LowerBound(u.Count(), [&u](size_t i) { return u.Offset(i); }, offset);
        if (lo < u.Count() && u.Offset(lo) == offset)
        {
            model::StreamSummary label;
            label.stream = u.Stream();
            label.kind = u.GetKind();
            return take({offset, u.Size(lo)}, label.StreamText() + " access unit " + std::to_string(lo)), found;
        }
    }
    // Else the innermost element around it: a packet's payload, or the element itself.
    for (const inspector::PackElement& e : elements)
        if (e.whole.Contains(offset))
            take(e.whole, inspector::ElementName(e));
    return found;
}

void CInspectorWindow::SelectBytes(quint64 offset, quint64 length, model::StreamKey stream)
{
    if (!m_shown)
        return;
    static const inspector::PackColumns kNoPacks;
    const inspector::PackColumns& packs = m_bLooseBytes ? kNoPacks : m_shown->packs;
    QString name;
    if (length == 0)
    {
        const Element e = ElementAt(offset, stream);
        offset = e.length ? e.offset : offset;
        length = e.length ? e.length : 1;
        name = e.name;
    }
    m_pBytes->ShowRange(offset, length);
    const uint32_t pack = packs.PackAt(offset) + 1;
    QString status = QStringLiteral("offset %1 (0x%2), %3 bytes").arg(offset).arg(offset, 0, 16).arg(length);
    if (!name.isEmpty())
        status = name + QStringLiteral(" at ") + status;
    // Of a disc: the file that holds it, and where in that file.
    if (m_result && m_result->disc)
    {
        uint64_t within = 0;
        const QString file = m_pBytes->FileAt(offset, &within);
        status = QStringLiteral("%1 offset %2 (0x%3): %4%5 bytes")
                     .arg(file)
                     .arg(within)
                     .arg(within, 0, 16)
                     .arg(name.isEmpty() ? QString() : name + QStringLiteral(", "))
                     .arg(length);
        if (!m_bLooseBytes && m_nShownSet >= 0)
            status += QStringLiteral(", offset %1 in the VOB set of %2")
                          .arg(offset)
                          .arg(QString::fromStdString(m_result->disc->sets[static_cast<size_t>(m_nShownSet)].name));
    }
    if (packs.size() > 0)
    {
        status += QStringLiteral(", PACK #%1").arg(pack);
        const QString note = m_packLink ? m_packLink(packs.offset[pack - 1], pack) : QString();
        if (!note.isEmpty())
            status += QStringLiteral(" (%1)").arg(note);
    }
    statusBar()->showMessage(status);
    if (packs.size() > 0)
        emit PackSelected(packs.offset[pack - 1], pack);
}

void CInspectorWindow::ShowElement(quint64 offset, quint64 length, quint32 pack, const QString& what)
{
    if (!m_shown)
        return;
    m_pBytes->ShowRange(offset, length ? length : 1);
    statusBar()->showMessage(QStringLiteral("%1 at offset %2 (0x%3), %4 bytes, PACK #%5")
                                 .arg(what)
                                 .arg(offset)
                                 .arg(offset, 0, 16)
                                 .arg(length)
                                 .arg(pack));
}

bool CInspectorWindow::GoToOffset(const QString& text)
{
    bool ok = false;
    const QString t = text.trimmed();
    const quint64 offset = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? t.mid(2).toULongLong(&ok, 16)
                                                                                  : t.toULongLong(&ok, 10);
    if (!ok || offset >= m_pBytes->FileSize())
    {
        statusBar()->showMessage(QStringLiteral("No offset %1 in this file").arg(t));
        return false;
    }
    SelectBytes(offset, 1);
    return true;
}

void CInspectorWindow::OnGoToOffset()
{
    m_pOffsetEdit->setFocus();
    m_pOffsetEdit->selectAll();
}

// ---------------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------------

void CInspectorWindow::OnOpen()
{
    QFileDialog chooser(this, QStringLiteral("Inspect file"), QFileInfo(m_path).absolutePath(),
                        QStringLiteral("MPEG Files (*.mpg *.vob *.mpv *.m2v *.m2p *.mp2 *.mpa);;All files (*)"));
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    chooser.setFileMode(QFileDialog::ExistingFile);
    if (ExecOverParent(chooser) == QDialog::Accepted && !chooser.selectedFiles().isEmpty())
        Inspect(chooser.selectedFiles().first());
}

void CInspectorWindow::OnOpenDisc()
{
    QFileDialog chooser(this, QStringLiteral("Inspect disc"), QFileInfo(m_path).absolutePath());
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly, true);
    if (ExecOverParent(chooser) == QDialog::Accepted && !chooser.selectedFiles().isEmpty())
        Inspect(chooser.selectedFiles().first());
}

bool CInspectorWindow::ExportFindings(const QString& path)
{
    if (!m_result)
        return false;
    // A disc's findings as varnodel-cli --check reports the disc, file by file; in CSV the
    // inspector's own rows.
    const inspector::ExportFormat format = FormatOf(path);
    if (m_result->disc && format != inspector::ExportFormat::Csv)
        return ExportReport(path, format == inspector::ExportFormat::Json
                                      ? disc::CheckJson(m_result->disc->check, QFile::encodeName(m_path).toStdString())
                                      : disc::CheckText(m_result->disc->check));
    return ExportReport(path, inspector::FindingsReport(*m_result, format));
}

bool CInspectorWindow::ExportStreams(const QString& path)
{
    return m_shown && ExportReport(path, inspector::StreamsReport(*m_shown, FormatOf(path)));
}

bool CInspectorWindow::ExportReport(const QString& path, const std::string& report)
{
    if (inspector::WriteTextFile(QFile::encodeName(path).toStdString(), report))
        return true;
    ShowMessage(QStringLiteral("Cannot write %1").arg(path));
    return false;
}

bool CInspectorWindow::ExportUnits(const QString& path)
{
    if (!m_shown)
        return false;
    QFile file(path);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (ok)
    {
        inspector::UnitsReport(*m_shown, FormatOf(path), [&](const std::string& text) {
            ok = ok && file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
        });
        file.close();
        ok = ok && file.error() == QFileDevice::NoError;
    }
    if (!ok)
        ShowMessage(QStringLiteral("Cannot write %1").arg(path));
    return ok;
}

bool CInspectorWindow::ExportPlot(int plot, const QString& path)
{
    CPlotWidget* p = Plot(plot);
    const QString title = QFileInfo(m_path).fileName() + QStringLiteral(": ") + m_pPlotTabs->tabText(plot);
    if (p != nullptr && p->Export(path, title))
        return true;
    ShowMessage(QStringLiteral("Cannot write %1").arg(path));
    return false;
}

void CInspectorWindow::OnExport(int what)
{
    if (!m_result)
        return;
    static const char* const titles[] = {"Export findings", "Export streams", "Export units", "Export plot"};
    static const char* const filters[] = {
        "Check report (*.txt);;JSON (*.json);;CSV (*.csv)",
        "Stream list (*.txt);;JSON (*.json);;CSV (*.csv)",
        "CSV (*.csv);;JSON lines (*.jsonl)",
        "PNG image (*.png);;SVG drawing (*.svg)",
    };
    QFileDialog chooser(this, QString::fromLatin1(titles[what]), QString(), QString::fromLatin1(filters[what]));
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setFileMode(QFileDialog::AnyFile);
    // Beside the file inspected, named after it.
    chooser.setDirectory(QFileInfo(m_path).absolutePath());
    chooser.selectFile(QFileInfo(m_path).completeBaseName());
    if (ExecOverParent(chooser) != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return;
    QString path = chooser.selectedFiles().first();
    const QString selected = chooser.selectedNameFilter();
    // A name without a suffix takes the chosen filter's.
    if (QFileInfo(path).suffix().isEmpty())
    {
        const int star = selected.indexOf(QLatin1String("*."));
        if (star >= 0)
            path += selected.mid(star + 1, selected.indexOf(QLatin1Char(')'), star) - star - 1);
    }
    switch (what)
    {
    case ExportFindingsFile: ExportFindings(path); break;
    case ExportStreamsFile: ExportStreams(path); break;
    case ExportUnitsFile: ExportUnits(path); break;
    default: ExportPlot(m_pPlotTabs->currentIndex(), path); break;
    }
}

void CInspectorWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CInspectorWindow::dropEvent(QDropEvent* event)
{
    const QString path = DroppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    Inspect(path);
}

// ---------------------------------------------------------------------------------
// Layout kept in the settings
// ---------------------------------------------------------------------------------

void CInspectorWindow::SaveLayout() const
{
    SaveBytes("geometry", saveGeometry());
    SaveBytes("split", m_pMainSplitter->saveState());
    SaveBytes("topsplit", m_pTopSplitter->saveState());
    SaveBytes("tabs", QByteArray::number(m_pTableTabs->currentIndex()) + ',' +
                          QByteArray::number(m_pPlotTabs->currentIndex()));
}

void CInspectorWindow::RestoreLayout()
{
    const QByteArray geometry = LoadBytes("geometry");
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    m_pMainSplitter->restoreState(LoadBytes("split"));
    m_pTopSplitter->restoreState(LoadBytes("topsplit"));
    const QList<QByteArray> tabs = LoadBytes("tabs").split(',');
    if (tabs.size() == 2)
    {
        m_pTableTabs->setCurrentIndex(tabs[0].toInt());
        m_pPlotTabs->setCurrentIndex(tabs[1].toInt());
    }
}

void CInspectorWindow::closeEvent(QCloseEvent* event)
{
    m_worker.Cancel();
    SaveLayout();
    QMainWindow::closeEvent(event);
}
