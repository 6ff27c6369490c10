#include "app/CAnalyzerDlg.h"

#include "aaf/AnalysisFile.h"
#include "app/CAboutDlg.h"
#include "app/CAnalyzerApp.h"
#include "app/COptionsDlg.h"
#include "app/DialogFont.h"
#include "controls/DialogUnits.h"
#include "app/FileFilter.h"
#include "app/ModalRun.h"
#include "app/inspector/CInspectorHooks.h"
#include "controls/Resources.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <iterator>

namespace
{
// How often a running analysis lets the window handle its events. Processing events
// costs a system call, and the run calls Pump after every start code.
constexpr qint64 kPumpIntervalMs = 15;
}  // namespace

// ---------------------------------------------------------------------------------
// Construction: the dialog template
// ---------------------------------------------------------------------------------

CAnalyzerDlg::CAnalyzerDlg(QWidget* parent)
    : CSkinDialog(parent),
      m_hIcon(Res::AppIcon()),
      m_driver(m_resultTree, *this),
      m_model(m_resultTree),
      m_picLogo(this),
      m_editFileName(this),
      m_btnSave(this),
      m_btnBrowse(QStringLiteral("..."), this),
      m_btnOptions(QStringLiteral("options"), this),
      m_btnExit(QStringLiteral("exit"), this),
      m_progress(this),
      m_btnStop(QStringLiteral("stop"), this),
      m_btnAnalyze(QStringLiteral("analyze"), this),
      m_treeView(this)
{
    // An ordinary window with the dialog's frame: a window manager keeps a dialog above
    // every other window of its program, and the inspector must be able to come in front.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QString::fromLatin1(kCaption));
    setFont(DialogFont());
    // The window may grow, never shrink below the template's size.
    m_initialSize = DluToPixels(QSize(320, 209), font());
    setMinimumSize(m_initialSize);
    resize(m_initialSize);

    PlaceControls();

    m_treeView.setModel(&m_model);
    // The view's own context menu would hide the window menu; it has none to offer.
    m_treeView.setContextMenuPolicy(Qt::PreventContextMenu);

    // Enter presses the button that has the focus and nothing else (see keyPressEvent),
    // so no button is made the default behind the user's back.
    for (CQuimbelButton* button : {&m_btnSave, &m_btnBrowse, &m_btnOptions, &m_btnExit, &m_btnStop, &m_btnAnalyze})
        button->setAutoDefault(false);

    // Tab stops in template order.
    m_progress.setFocusPolicy(Qt::NoFocus);
    QWidget* const tabStops[] = {&m_btnExit,   &m_treeView, &m_editFileName, &m_btnBrowse,
                                 &m_btnAnalyze, &m_btnStop, &m_btnOptions,    &m_btnSave};
    for (size_t i = 1; i < std::size(tabStops); ++i)
        setTabOrder(tabStops[i - 1], tabStops[i]);

    // A file dropped anywhere on the window (the field included) names the input.
    setAcceptDrops(true);
    m_editFileName.installEventFilter(this);

    ConnectControls();
}

void CAnalyzerDlg::PlaceControls()
{
    m_btnExit.setGeometry(DialogRect(*this, 263, 179, 50, 14));
    m_treeView.setGeometry(DialogRect(*this, 10, 25, 240, 135));
    m_editFileName.setGeometry(DialogRect(*this, 51, 5, 176, 12));
    m_btnBrowse.setGeometry(DialogRect(*this, 232, 5, 12, 12));
    m_btnAnalyze.setGeometry(DialogRect(*this, 263, 25, 50, 14));
    m_btnStop.setGeometry(DialogRect(*this, 263, 47, 50, 14));
    m_btnStop.setEnabled(false);
    m_progress.setGeometry(DialogRect(*this, 10, 165, 240, 6));
    m_progress.setRange(0, 100);
    m_progress.setTextVisible(false);
    m_progress.hide();
    m_btnOptions.setGeometry(DialogRect(*this, 263, 146, 50, 14));
    m_pLabelFile = new QLabel(QStringLiteral("MPEG2 PS:"), this);
    m_pLabelFile->setGeometry(DialogRect(*this, 10, 7, 39, 8));
    m_btnSave.setGeometry(DialogRect(*this, 129, 179, 18, 14));
    m_picLogo.setGeometry(DialogRect(*this, 10, 174, 100, 28));

    // A larger window gives the tree (and the field above it) the room; the buttons keep
    // their distance to the right edge, "options" and "exit" as well as the logo and the
    // progress bar their distance to the bottom.
    m_anchors = {
        {&m_treeView, {}, false, true, false, true},
        {&m_editFileName, {}, false, true, false, false},
        {&m_btnBrowse, {}, true, true, false, false},
        {&m_btnAnalyze, {}, true, true, false, false},
        {&m_btnStop, {}, true, true, false, false},
        {&m_btnOptions, {}, true, true, true, true},
        {&m_btnExit, {}, true, true, true, true},
        {&m_progress, {}, false, true, true, true},
        {&m_btnSave, {}, false, false, true, true},
        {&m_picLogo, {}, false, false, true, true},
    };
    for (Anchor& anchor : m_anchors)
        anchor.rect = anchor.widget->geometry();

    m_editFileName.setToolTip(QStringLiteral("The file to analyse: type its path, choose it with \"...\" or drop it "
                                             "on the window; Enter analyses it"));
    m_btnBrowse.setToolTip(QStringLiteral("Choose the file to analyse"));
    m_btnAnalyze.setToolTip(QStringLiteral("Analyse the file: its headers, pack by pack, as a tree (as many packs as "
                                           "the options say)"));
    m_btnStop.setToolTip(QStringLiteral("Stop the analysis under way; the tree so far stays"));
    m_btnOptions.setToolTip(QStringLiteral("How many packs an analysis reads, and whether the file chooser remembers "
                                           "its folder"));
    m_btnExit.setToolTip(QStringLiteral("End the program"));
    m_btnSave.setToolTip(QStringLiteral("Save the analysis as an analysis file (Ctrl+S)"));
    m_treeView.setToolTip(QStringLiteral("The file's headers. Double click, Right or Left opens and closes a line, * a "
                                         "whole branch; Ctrl+F finds a line, Ctrl+G the pack of an offset, Ctrl+C "
                                         "copies a line"));
    m_progress.setToolTip(QStringLiteral("How far the analysis has come"));
    m_picLogo.setToolTip(QStringLiteral("The window menu: a right click here, or Alt+Space, Shift+F10 or the menu key"));
}

void CAnalyzerDlg::ConnectControls()
{
    connect(&m_btnExit, &QPushButton::clicked, this, &CAnalyzerDlg::accept);
    connect(&m_btnBrowse, &QPushButton::clicked, this, &CAnalyzerDlg::OnBrowse);
    connect(&m_btnAnalyze, &QPushButton::clicked, this, &CAnalyzerDlg::OnAnalyze);
    connect(&m_btnStop, &QPushButton::clicked, this, &CAnalyzerDlg::OnStop);
    connect(&m_btnOptions, &QPushButton::clicked, this, &CAnalyzerDlg::OnOptions);
    connect(&m_btnSave, &QPushButton::clicked, this, &CAnalyzerDlg::OnSaveAnalysis);
    connect(&m_treeView, &QTreeView::expanded, this, &CAnalyzerDlg::OnItemExpanded);
    connect(&m_treeView, &QTreeView::collapsed, this, &CAnalyzerDlg::OnItemCollapsed);
    connect(&m_editFileName, &QLineEdit::returnPressed, this, [this] {
        if (m_btnAnalyze.isEnabled())
            OnAnalyze();
    });

    auto* copy = new QAction(&m_treeView);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    m_treeView.addAction(copy);
    connect(copy, &QAction::triggered, this, &CAnalyzerDlg::OnCopyLine);

    auto* save = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
    connect(save, &QShortcut::activated, this, &CAnalyzerDlg::OnSaveAnalysis);
    // Alt+F4 closes the window even where no window manager does it for us.
    auto* closing = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F4), this);
    connect(closing, &QShortcut::activated, this, &QWidget::close);
    // The window menu from the keyboard: Alt+Space, which window managers tend to keep
    // for their own menu, and the keys of a context menu.
    for (const QKeySequence& keys : {QKeySequence(Qt::ALT | Qt::Key_Space), QKeySequence(Qt::SHIFT | Qt::Key_F10),
                                     QKeySequence(Qt::Key_Menu)})
    {
        auto* menu = new QShortcut(keys, this);
        connect(menu, &QShortcut::activated, this, [this] { ShowWindowMenu(mapToGlobal(QPoint(0, 0))); });
    }
}

CAnalyzerDlg::~CAnalyzerDlg() = default;

int CAnalyzerDlg::exec()
{
    // The program runs in this loop until the dialog ends, as in a modal run, but the
    // window is not made modal: that would block every other window of the program, the
    // inspector among them.
    QEventLoop loop;
    const QMetaObject::Connection ended = connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    setResult(0);
    show();
    if (isVisible())
        loop.exec(QEventLoop::DialogExec);
    disconnect(ended);
    return result();
}

void CAnalyzerDlg::setVisible(bool visible)
{
    if (visible && !m_bInitDone)
    {
        m_bInitDone = true;
        OnInitDialog();
    }
    CSkinDialog::setVisible(visible);
}

bool CAnalyzerDlg::OnInitDialog()
{
    UpdateData(false);
    BuildWindowMenu();
    m_pInspector = std::make_unique<CInspectorHooks>(*this);
    setWindowIcon(m_hIcon);

    for (CQuimbelButton* button : {&m_btnAnalyze, &m_btnExit, &m_btnStop, &m_btnOptions, &m_btnSave})
    {
        button->m_nFrameStyle = 2;
        button->m_bTransparent = true;
    }
    m_btnBrowse.m_nFrameStyle = 1;
    m_btnBrowse.m_bTransparent = true;

    // The save command is reached through Ctrl+S and the window menu instead.
    m_btnSave.hide();

    m_editFileName.SetFillColor(QColor(240, 210, 210));

    m_bSaveIn = static_cast<uint8_t>(CAnalyzerApp::GetProfileInt(
        QString::fromLatin1(ProgOpts::kSection), QString::fromLatin1(ProgOpts::kSaveIn), ProgOpts::kDefaultSaveIn));
    m_nMaxPackets = static_cast<uint32_t>(CAnalyzerApp::GetProfileInt(
        QString::fromLatin1(ProgOpts::kSection), QString::fromLatin1(ProgOpts::kMaxPackets), ProgOpts::kDefaultMaxPackets));

    // The size the user gave the window last time, never below the template's.
    const QSize stored(
        CAnalyzerApp::GetProfileInt(QString::fromLatin1(ProgOpts::kSection), QString::fromLatin1(ProgOpts::kWidth), 0),
        CAnalyzerApp::GetProfileInt(QString::fromLatin1(ProgOpts::kSection), QString::fromLatin1(ProgOpts::kHeight), 0));
    if (stored.isValid())
    {
        QSize wanted = stored.expandedTo(m_initialSize);
        if (const QScreen* screen = this->screen())
            wanted = wanted.boundedTo(screen->availableSize().expandedTo(m_initialSize));
        resize(wanted);
    }

    SetBackgroundBitmap(Res::IDB_BACKGROUND);

    m_picLogo.m_nPicture = Res::IDB_LOGO;
    m_picLogo.m_nMask = Res::IDB_LOGOMASK;
    m_picLogo.update();

    m_btnExit.setFocus();
    return true;
}

bool CAnalyzerDlg::UpdateData(bool bSaveAndValidate)
{
    if (bSaveAndValidate)
        m_strFileName = m_editFileName.text();
    else
        m_editFileName.setText(m_strFileName);
    return true;
}

// ---------------------------------------------------------------------------------
// Window menu
// ---------------------------------------------------------------------------------

void CAnalyzerDlg::BuildWindowMenu()
{
    // The window manager keeps its own menu to itself, so the dialog carries one.
    m_pWindowMenu = new QMenu(this);
    auto add = [this](const QString& text, unsigned id, const QKeySequence& keys = QKeySequence()) {
        QAction* action = m_pWindowMenu->addAction(text);
        action->setData(id);
        if (!keys.isEmpty())
            action->setShortcut(keys);
        // The shortcuts themselves belong to the dialog; the menu only shows them.
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, [this, id] { OnSysCommand(id); });
        return action;
    };
    add(QStringLiteral("&Move"), SC_MOVE);
    add(QStringLiteral("Mi&nimize"), SC_MINIMIZE);
    add(QString::fromLatin1(kSaveMenuText), IDM_SAVEANALYSIS, QKeySequence(Qt::CTRL | Qt::Key_S));
    // The walk by pack and packet lengths: a setting of its own, so the dialogs keep their look.
    QAction* byLength = m_pWindowMenu->addAction(QString::fromLatin1(kByLengthMenuText));
    byLength->setCheckable(true);
    const QString section = QString::fromLatin1(ProgOpts::kSection), key = QString::fromLatin1(ProgOpts::kByLength);
    byLength->setChecked(CAnalyzerApp::GetProfileInt(section, key, ProgOpts::kDefaultByLength) != 0);
    m_driver.SetFollowPacketLengths(byLength->isChecked());
    connect(byLength, &QAction::toggled, this, [this, section, key](bool on) {
        m_driver.SetFollowPacketLengths(on);
        CAnalyzerApp::WriteProfileInt(section, key, on ? 1 : 0);
    });
    m_pWindowMenu->addSeparator();
    add(QStringLiteral("&Close"), SC_CLOSE, QKeySequence(Qt::ALT | Qt::Key_F4));

    const QString about = QString::fromLatin1(kAboutMenuText);
    if (!about.isEmpty())
    {
        m_pWindowMenu->addSeparator();
        add(about, IDM_ABOUTBOX);
    }
}

void CAnalyzerDlg::ShowWindowMenu(const QPoint& globalPos)
{
    if (m_pWindowMenu)
        m_pWindowMenu->popup(globalPos);
}

void CAnalyzerDlg::OnSysCommand(unsigned nID)
{
    switch (nID & 0xFFF0)
    {
    case IDM_ABOUTBOX:
    {
        CAboutDlg dlgAbout(this);
        ExecOverParent(dlgAbout);
        break;
    }
    case IDM_SAVEANALYSIS:
        OnSaveAnalysis();
        break;
    case SC_MOVE:
        if (QWindow* window = windowHandle())
            window->startSystemMove();
        break;
    case SC_MINIMIZE:
        showMinimized();
        break;
    case SC_CLOSE:
        close();
        break;
    default:
        break;
    }
}

void CAnalyzerDlg::contextMenuEvent(QContextMenuEvent* event)
{
    // Only the background (and the plain labels on it) opens the window menu; the
    // controls keep their own behaviour.
    QWidget* child = childAt(event->pos());
    if (child == nullptr || child == m_pLabelFile || child == &m_picLogo || child == &m_progress)
    {
        ShowWindowMenu(event->globalPos());
        event->accept();
        return;
    }
    CSkinDialog::contextMenuEvent(event);
}

// ---------------------------------------------------------------------------------
// Buttons
// ---------------------------------------------------------------------------------

void CAnalyzerDlg::OnBrowse()
{
    QFileDialog dlgFile(this, QString::fromLatin1(kInputTitle), QString(),
                        QtFileFilter(QString::fromLatin1(kInputFilter)));
    dlgFile.setAcceptMode(QFileDialog::AcceptOpen);
    dlgFile.setFileMode(QFileDialog::ExistingFile);

    if (m_bSaveIn)
    {
        const QString dir = CAnalyzerApp::GetProfileString(QString::fromLatin1(ProgOpts::kSection),
                                                           QString::fromLatin1(ProgOpts::kInitialDir));
        if (!dir.isEmpty())
            dlgFile.setDirectory(dir);
    }

    if (ExecOverParent(dlgFile) != QDialog::Accepted)
        return;
    const QStringList chosen = dlgFile.selectedFiles();
    if (chosen.isEmpty())
        return;

    m_strFileName = chosen.first();
    if (m_bSaveIn)
        CAnalyzerApp::WriteProfileString(QString::fromLatin1(ProgOpts::kSection),
                                         QString::fromLatin1(ProgOpts::kInitialDir), FolderOfPath(m_strFileName));
    UpdateData(false);
}

void CAnalyzerDlg::OnAnalyze()
{
    // A run is under way already (this can only come from a nested event).
    if (m_driver.IsRunning())
        return;

    UpdateData(true);
    const CAnalysisDriver::Outcome outcome =
        m_driver.Analyze(QFile::encodeName(m_strFileName).toStdString(), m_nMaxPackets);
    ShowTitleFor(outcome);

    // However the run ended, the dialog is idle again.
    if (m_model.IsFrozen())
        OnRunEnded();

    if (m_bEndAfterRun)
    {
        m_bEndAfterRun = false;
        CSkinDialog::reject();
    }
}

void CAnalyzerDlg::ShowTitleFor(CAnalysisDriver::Outcome outcome)
{
    // A run that did not start leaves the tree, and so the title, as they were.
    if (outcome == CAnalysisDriver::Outcome::NotStarted || outcome == CAnalysisDriver::Outcome::OpenFailed)
        return;
    // The file first (the part a task bar keeps), with the note of a run that did not
    // reach the end, then the program.
    const CPackList* records = m_driver.Records();
    const QString file = records ? QFileInfo(QFile::decodeName(QByteArray::fromStdString(records->m_strInputPath))).fileName()
                                 : QString();
    setWindowTitle((file.isEmpty() ? QString() : file) +
                   QString::fromStdString(CAnalysisDriver::EarlyEndNote(outcome, m_driver.PackCount())) +
                   (file.isEmpty() ? QString() : QStringLiteral(" - ")) + QString::fromLatin1(kCaption));
}

void CAnalyzerDlg::AnalyzeOnStart(const QString& path)
{
    m_strFileName = path;
    UpdateData(false);
    // Queued: the run starts once the dialog is on screen and its event loop runs.
    QTimer::singleShot(0, this, [this] {
        if (m_btnAnalyze.isEnabled())
            OnAnalyze();
    });
}

void CAnalyzerDlg::OnStop()
{
    m_driver.RequestStop();
}

void CAnalyzerDlg::OnOptions()
{
    COptionsDlg dlg(this);
    // The dialog treats the same 32 bits as a signed count.
    dlg.m_nMaxPackets = static_cast<int32_t>(m_nMaxPackets);
    dlg.m_bSaveIn = m_bSaveIn;

    if (ExecOverParent(dlg) != QDialog::Accepted)
        return;

    m_nMaxPackets = static_cast<uint32_t>(dlg.m_nMaxPackets);
    m_bSaveIn = static_cast<uint8_t>(dlg.m_bSaveIn);
    CAnalyzerApp::WriteProfileInt(QString::fromLatin1(ProgOpts::kSection), QString::fromLatin1(ProgOpts::kSaveIn),
                                  m_bSaveIn ? 1 : 0);
    CAnalyzerApp::WriteProfileInt(QString::fromLatin1(ProgOpts::kSection), QString::fromLatin1(ProgOpts::kMaxPackets),
                                  static_cast<int>(m_nMaxPackets));
}

void CAnalyzerDlg::OnSaveAnalysis()
{
    CPackList* records = m_driver.Records();
    if (records == nullptr)
    {
        MessageBox(QString::fromLocal8Bit(AnalysisFile::MessageFor(AnalysisFile::SaveResult::NoAnalysis, std::string())));
        return;
    }
    // The name of the file the records come from: after a failed analysis or a new name
    // in the field, the field no longer says which file that is.
    const QString proposed = ProposedSaveName();

    QFileDialog dlgFile(this);
    dlgFile.setAcceptMode(QFileDialog::AcceptSave);
    dlgFile.setFileMode(QFileDialog::AnyFile);
    dlgFile.setNameFilter(QtFileFilter(QString::fromLatin1(kAnalysisFilter)));
    dlgFile.setDefaultSuffix(QStringLiteral("aaf"));
    dlgFile.selectFile(proposed);
    if (ExecOverParent(dlgFile) != QDialog::Accepted)
        return;
    const QStringList chosen = dlgFile.selectedFiles();
    if (chosen.isEmpty())
        return;

    // A name without an extension gets the analysis file's (whatever the dialog did).
    QString name = chosen.first();
    if (!QFileInfo(name).fileName().contains(QLatin1Char('.')))
        name += QStringLiteral(".aaf");
    const std::string path = QFile::encodeName(name).toStdString();
    // Saving stamps the list with the date of the save; nothing else in it changes.
    const AnalysisFile::SaveResult result = AnalysisFile::Save(records, path);
    if (result != AnalysisFile::SaveResult::Ok)
        MessageBox(QString::fromLocal8Bit(AnalysisFile::MessageFor(result, path)));
}

QString CAnalyzerDlg::ProposedSaveName() const
{
    const CPackList* records = m_driver.Records();
    if (records == nullptr)
        return QString();
    return QFile::decodeName(QByteArray::fromStdString(records->m_strInputPath)) + QStringLiteral(".aaf");
}

void CAnalyzerDlg::OnCopyLine()
{
    const QModelIndex current = m_treeView.currentIndex();
    if (m_model.LineOf(current) == kNoItem)
        return;
    QGuiApplication::clipboard()->setText(m_model.data(current, Qt::DisplayRole).toString());
}

void CAnalyzerDlg::MessageBox(const QString& text, const QString& caption, const QString& informative)
{
    QMessageBox box(QMessageBox::NoIcon, caption.isEmpty() ? QCoreApplication::applicationName() : caption, text,
                    QMessageBox::Ok, this);
    box.setInformativeText(informative);
    ExecOverParent(box);
}

// ---------------------------------------------------------------------------------
// Ending the dialog
// ---------------------------------------------------------------------------------

void CAnalyzerDlg::accept()
{
    if (m_driver.IsRunning())
    {
        reject();
        return;
    }
    CSkinDialog::accept();
}

void CAnalyzerDlg::done(int result)
{
    // The size the user gave the window is kept for the next start; an unchanged size
    // writes nothing.
    if (m_bInitDone)
    {
        const QSize now = isMaximized() || isFullScreen() ? normalGeometry().size() : size();
        const QString section = QString::fromLatin1(ProgOpts::kSection);
        const QString width = QString::fromLatin1(ProgOpts::kWidth);
        const QString height = QString::fromLatin1(ProgOpts::kHeight);
        if (now.isValid() && now != QSize(CAnalyzerApp::GetProfileInt(section, width, m_initialSize.width()),
                                          CAnalyzerApp::GetProfileInt(section, height, m_initialSize.height())))
        {
            CAnalyzerApp::WriteProfileInt(section, width, now.width());
            CAnalyzerApp::WriteProfileInt(section, height, now.height());
        }
    }
    CSkinDialog::done(result);
}

void CAnalyzerDlg::AnchorToRightEdge(QWidget* widget)
{
    const int dx = std::max(0, width() - m_initialSize.width());
    m_anchors.push_back({widget, widget->geometry(), true, true, false, false});
    widget->move(widget->x() + dx, widget->y());
}

void CAnalyzerDlg::resizeEvent(QResizeEvent* event)
{
    const int dx = std::max(0, width() - m_initialSize.width());
    const int dy = std::max(0, height() - m_initialSize.height());
    for (const Anchor& a : m_anchors)
    {
        const int left = a.rect.left() + (a.left ? dx : 0);
        const int top = a.rect.top() + (a.top ? dy : 0);
        const int right = a.rect.right() + (a.right ? dx : 0);
        const int bottom = a.rect.bottom() + (a.bottom ? dy : 0);
        a.widget->setGeometry(QRect(QPoint(left, top), QPoint(right, bottom)));
    }
    CSkinDialog::resizeEvent(event);
}

void CAnalyzerDlg::reject()
{
    // The close box and Alt+F4 work during a run too: the run is stopped first and the
    // dialog ends once the run has unwound, never leaving an analysis behind.
    if (m_driver.IsRunning())
    {
        m_bEndAfterRun = true;
        m_driver.RequestStop();
        return;
    }
    CSkinDialog::reject();
}

void CAnalyzerDlg::keyPressEvent(QKeyEvent* event)
{
    // Escape is too easily pressed to end the program with it: only "exit", the close box
    // and Alt+F4 do.
    if (event->matches(QKeySequence::Cancel))
    {
        event->accept();
        return;
    }
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier)
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        {
            // Enter presses the focused button (the field analyses on its own, see its
            // returnPressed); in the tree it does nothing, and never ends the program.
            if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled())
                button->click();
            event->accept();
            return;
        }
    }
    CSkinDialog::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------
// Dropping a file
// ---------------------------------------------------------------------------------

QString CAnalyzerDlg::DroppedFile(const QMimeData* mime)
{
    if (mime == nullptr || !mime->hasUrls())
        return QString();
    const QList<QUrl> urls = mime->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return QString();
    return urls.first().toLocalFile();
}

void CAnalyzerDlg::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CAnalyzerDlg::dragMoveEvent(QDragMoveEvent* event)
{
    if (!DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CAnalyzerDlg::dropEvent(QDropEvent* event)
{
    const QString path = DroppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    m_editFileName.setText(path);
    event->acceptProposedAction();
}

bool CAnalyzerDlg::eventFilter(QObject* watched, QEvent* event)
{
    // The field would insert a dropped file as a "file://" text; it gets the path instead.
    if (watched == &m_editFileName)
    {
        switch (event->type())
        {
        case QEvent::DragEnter:
            if (!DroppedFile(static_cast<QDragEnterEvent*>(event)->mimeData()).isEmpty())
            {
                static_cast<QDragEnterEvent*>(event)->acceptProposedAction();
                return true;
            }
            break;
        case QEvent::DragMove:
            if (!DroppedFile(static_cast<QDragMoveEvent*>(event)->mimeData()).isEmpty())
            {
                static_cast<QDragMoveEvent*>(event)->acceptProposedAction();
                return true;
            }
            break;
        case QEvent::Drop:
            if (!DroppedFile(static_cast<QDropEvent*>(event)->mimeData()).isEmpty())
            {
                dropEvent(static_cast<QDropEvent*>(event));
                return true;
            }
            break;
        default:
            break;
        }
    }
    return CSkinDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------
// The run's host
// ---------------------------------------------------------------------------------

void CAnalyzerDlg::OnRunStarted()
{
    m_bStopHadFocus = false;
    // "stop" first, so the focus leaving "analyze" can land on it.
    m_btnStop.setEnabled(true);
    m_btnAnalyze.setEnabled(false);
    m_btnExit.setEnabled(false);
    m_btnOptions.setEnabled(false);
    m_treeView.setEnabled(false);

    // The run is about to clear the store and rebuild it: until it ends the view sees
    // an empty tree, and the title no note about the tree that was.
    m_model.Freeze();
    setWindowTitle(QString::fromLatin1(kCaption));

    m_progress.setValue(0);
    m_progress.show();
    m_pumpClock.start();
}

void CAnalyzerDlg::OnProgress(uint32_t percent)
{
    m_progress.setValue(static_cast<int>(std::min<uint32_t>(percent, 100)));
}

void CAnalyzerDlg::Pump()
{
    // Even reading the clock after every start code is a measurable part of a run
    // (millions of them); a few start codes take microseconds, so every 16th will do.
    if ((++m_nPumpCalls & 15) != 0)
        return;
    if (m_pumpClock.isValid() && !m_pumpClock.hasExpired(kPumpIntervalMs))
        return;
    QCoreApplication::processEvents();
    m_pumpClock.start();
}

void CAnalyzerDlg::OnRunEnded()
{
    m_bStopHadFocus = m_btnStop.hasFocus();
    m_progress.hide();
    m_btnStop.setEnabled(false);
    m_treeView.setEnabled(true);
    m_btnAnalyze.setEnabled(true);
    m_btnExit.setEnabled(true);
    m_btnOptions.setEnabled(true);
    if (m_bStopHadFocus || focusWidget() == nullptr)
        m_btnAnalyze.setFocus();

    if (m_model.IsFrozen())
    {
        m_model.Thaw();
        ExpandMarkedLines();
    }
}

void CAnalyzerDlg::ShowMessage(const std::string& text, const std::string& caption)
{
    // "Cannot open input file" keeps its text; which file, and why, come below it.
    // The name on a line of its own, never broken inside (a path has no blanks to break
    // at), the reason below it.
    QString informative;
    if (text == CAnalysisDriver::kOpenErrorText)
        informative = QStringLiteral("<p style=\"white-space:pre\">%1</p><p>%2</p>")
                          .arg(m_strFileName.toHtmlEscaped(),
                               QString::fromLocal8Bit(CAnalysisDriver::OpenErrorReason(m_driver.OpenError())).toHtmlEscaped());
    MessageBox(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())),
               QString::fromLocal8Bit(caption.data(), static_cast<qsizetype>(caption.size())), informative);
}

// ---------------------------------------------------------------------------------
// Tree
// ---------------------------------------------------------------------------------

void CAnalyzerDlg::ExpandMarkedLines()
{
    // Right after the reset the view has not laid itself out yet, so each expand only
    // records the line; the layout happens once, however many lines there are.
    // The run expands a marked line and every line above it; the climb stops at a line
    // already open.
    m_bExpandingFromProgram = true;
    for (const ItemId marked : m_resultTree.MarkedLines())
    {
        for (ItemId line = marked; line != kNoItem && m_resultTree.IsExpanded(line); line = m_resultTree.Parent(line))
        {
            const QModelIndex index = m_model.IndexOf(line);
            if (m_treeView.isExpanded(index))
                break;
            m_treeView.setExpanded(index, true);
        }
    }
    m_bExpandingFromProgram = false;
}

void CAnalyzerDlg::OnItemExpanded(const QModelIndex& index)
{
    if (m_bExpandingFromProgram)
        return;
    m_model.IconSwitch(index, true);
}

void CAnalyzerDlg::OnItemCollapsed(const QModelIndex& index)
{
    if (m_bExpandingFromProgram)
        return;
    m_model.IconSwitch(index, false);
}
