#include "app/inspector/CInspectorWindow.h"

#include "app/CAnalyzerApp.h"
#include "app/inspector/CByteView.h"
#include "app/inspector/CInspectTables.h"
#include "app/inspector/CPlotWidget.h"
#include "app/inspector/InspectExport.h"
#include "app/inspector/InspectPlots.h"

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
    m_pFile = new QLabel(QStringLiteral("Drop a file here, or choose one with File > Inspect file..."), central);
    m_pFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pProgress = new QProgressBar(central);
    m_pProgress->setRange(0, 100);
    m_pProgress->setMaximumWidth(240);
    m_pCancel = new QPushButton(QStringLiteral("Cancel"), central);
    top->addWidget(m_pFile, 1);
    top->addWidget(m_pProgress);
    top->addWidget(m_pCancel);
    layout->addLayout(top);

    m_pMessage = new QLabel(central);
    m_pMessage->setWordWrap(true);
    m_pMessage->setStyleSheet(QStringLiteral("QLabel { color: #b00000; font-weight: bold; }"));
    m_pMessage->hide();
    layout->addWidget(m_pMessage);
    m_pSummary = new QLabel(central);
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
    m_pPlots[1] = new CPlotWidget(QStringLiteral("arrival (s)"), QStringLiteral("time stamp (s)"));
    m_pPlots[2] = new CPlotWidget(QStringLiteral("time (s)"), QStringLiteral("bytes in buffer"));
    m_pPlots[3] = new CPlotWidget(QStringLiteral("picture (coded order)"), QStringLiteral("bytes"));
    const char* const plotNames[4] = {"Bit rate", "Time stamps", "Buffers", "Picture sizes"};
    for (int i = 0; i < 4; ++i)
    {
        m_pPlotTabs->addTab(m_pPlots[i], QString::fromLatin1(plotNames[i]));
        connect(m_pPlots[i], &CPlotWidget::Hovered, this, [this](const QString& text) { statusBar()->showMessage(text); });
        connect(m_pPlots[i], &CPlotWidget::ElementClicked, this,
                [this](quint64 offset, quint32 size) { SelectBytes(offset, size); });
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
    goLayout->addWidget(new QLabel(QStringLiteral("Bytes"), bytesPage));
    goLayout->addStretch(1);
    goLayout->addWidget(m_pOffsetEdit);
    goLayout->addWidget(go);
    bytesLayout->addLayout(goLayout);
    m_pBytes = new CByteView(bytesPage);
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
        filters->addWidget(m_pShow[i]);
        connect(m_pShow[i], &QCheckBox::toggled, this,
                [this, i](bool on) { m_pFilter->SetSeverityShown(static_cast<checks::Severity>(i), on); });
    }
    m_pCheckChoice = new QComboBox(page);
    m_pStreamChoice = new QComboBox(page);
    filters->addWidget(new QLabel(QStringLiteral("Check:"), page));
    filters->addWidget(m_pCheckChoice, 1);
    filters->addWidget(new QLabel(QStringLiteral("Stream:"), page));
    filters->addWidget(m_pStreamChoice);
    layout->addLayout(filters);
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
    layout->addWidget(m_pFindingsView, 1);
    connect(m_pFindingsView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { OnFindingActivated(current); });
    return page;
}

void CInspectorWindow::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Inspect file..."), QKeySequence::Open, this, &CInspectorWindow::OnOpen);
    file->addSeparator();
    file->addAction(QStringLiteral("Export &findings..."), this, [this] { OnExport(ExportFindingsFile); });
    file->addAction(QStringLiteral("Export &streams..."), this, [this] { OnExport(ExportStreamsFile); });
    file->addAction(QStringLiteral("Export &units..."), this, [this] { OnExport(ExportUnitsFile); });
    file->addAction(QStringLiteral("Export &plot..."), this, [this] { OnExport(ExportPlotFile); });
    file->addSeparator();
    file->addAction(QStringLiteral("&Close"), QKeySequence::Close, this, &QWidget::close);
    QMenu* go = menuBar()->addMenu(QStringLiteral("&Go"));
    go->addAction(QStringLiteral("Go to &offset..."), QKeySequence(Qt::CTRL | Qt::Key_G), this,
                  &CInspectorWindow::OnGoToOffset);
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
    QString summary = SummaryText(*m_result);
    if (m_result->stopped)
        summary += QStringLiteral(" (cancelled: the file up to offset %1 only)")
                       .arg(m_result->packs.size() ? m_result->packs.offset.back() : 0);
    if (m_result->readError)
        summary += QStringLiteral(" (read error: the file is shown up to where reading failed)");
    m_pSummary->setText(summary);
    m_pStreams->SetResult(m_result);
    m_pFindings->SetResult(m_result);
    m_pStreamsView->resizeColumnsToContents();
    m_pFindingsView->resizeColumnsToContents();
    RefillFilterChoices();
    FillPlots(m_result, {m_pPlots[0], m_pPlots[1], m_pPlots[2], m_pPlots[3]});
    if (!m_pBytes->SetFile(m_path))
        ShowMessage(QStringLiteral("The bytes of %1 cannot be shown: the file cannot be opened.").arg(m_path));
    emit PassFinished();
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
    const checks::Finding* f = m_pFindings->FindingAt(index.data(CFindingsModel::FindingRole).toInt());
    if (f != nullptr)
        SelectBytes(f->offset, 0);
}

void CInspectorWindow::SelectBytes(quint64 offset, quint64 length)
{
    if (!m_result)
        return;
    const inspector::PackColumns& packs = m_result->packs;
    const uint32_t pack = packs.PackAt(offset);
    if (length == 0)
    {
        // The element's own extent is not known here: its bytes up to the next pack.
        const uint64_t packEnd = packs.size() ? packs.offset[pack] + packs.PackLength(pack, m_result->fileSize) : 0;
        length = packEnd > offset ? packEnd - offset : 4;
    }
    m_pBytes->ShowRange(offset, length);
    // Packs are numbered from 1, as the tree's "PACK #n" and the findings number them.
    statusBar()->showMessage(QStringLiteral("offset %1 (0x%2), %3 bytes, pack %4")
                                 .arg(offset)
                                 .arg(offset, 0, 16)
                                 .arg(length)
                                 .arg(pack + 1));
    if (packs.size() > 0)
        emit PackSelected(packs.offset[pack], pack);
}

void CInspectorWindow::ShowPack(quint64 offset)
{
    if (!m_result)
        return;
    const uint32_t pack = m_result->packs.PackAt(offset);
    const uint64_t length = m_result->packs.PackLength(pack, m_result->fileSize);
    m_pBytes->ShowRange(offset, length ? length : 1);
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
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Inspect file"), QFileInfo(m_path).absolutePath(),
        QStringLiteral("MPEG Files (*.mpg *.vob *.mpv *.m2v *.m2p *.mp2 *.mpa);;All files (*)"));
    if (!path.isEmpty())
        Inspect(path);
}

bool CInspectorWindow::ExportFindings(const QString& path)
{
    return m_result && ExportReport(path, inspector::FindingsReport(*m_result, FormatOf(path)));
}

bool CInspectorWindow::ExportStreams(const QString& path)
{
    return m_result && ExportReport(path, inspector::StreamsReport(*m_result, FormatOf(path)));
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
    if (!m_result)
        return false;
    QFile file(path);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (ok)
    {
        inspector::UnitsReport(*m_result, FormatOf(path), [&](const std::string& text) {
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
    if (p != nullptr && p->Export(path))
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
    QString selected;
    QString path = QFileDialog::getSaveFileName(this, QString::fromLatin1(titles[what]),
                                                QFileInfo(m_path).completeBaseName(),
                                                QString::fromLatin1(filters[what]), &selected);
    if (path.isEmpty())
        return;
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
