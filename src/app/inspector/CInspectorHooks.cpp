#include "app/inspector/CInspectorHooks.h"

#include "app/CAnalyzerDlg.h"
#include "app/inspector/CInspectorWindow.h"
#include "app/inspector/CTreeSearchDlg.h"
#include "app/inspector/TreeLinks.h"
#include "app/DialogFont.h"
#include "app/ModalRun.h"

#include <QAction>
#include <QFile>
#include <QInputDialog>
#include <QLocale>
#include <QMenu>
#include <QScreen>
#include <QShortcut>

#include <algorithm>

CInspectorHooks::CInspectorHooks(CAnalyzerDlg& dlg)
    : QObject(&dlg), m_btnInspect(QStringLiteral("inspect"), &dlg), m_dlg(dlg)
{
    // In the free space under "stop", drawn as the other buttons are.
    m_btnInspect.setGeometry(DialogRect(dlg, 263, 69, 50, 14));
    dlg.AnchorToRightEdge(&m_btnInspect);
    m_btnInspect.m_nFrameStyle = 2;
    m_btnInspect.m_bTransparent = true;
    m_btnInspect.setAutoDefault(false);
    m_btnInspect.setToolTip(QStringLiteral("Inspect the file named above: its streams, the checks' findings, plots "
                                           "and bytes, in a window of their own (Ctrl+I)"));
    m_btnInspect.show();
    QWidget::setTabOrder(&dlg.m_btnStop, &m_btnInspect);
    QWidget::setTabOrder(&m_btnInspect, &dlg.m_btnOptions);
    connect(&m_btnInspect, &QPushButton::clicked, this, &CInspectorHooks::OnInspect);

    auto shortcut = [&](QKeyCombination keys, void (CInspectorHooks::*slot)()) {
        auto* s = new QShortcut(QKeySequence(keys), &dlg);
        connect(s, &QShortcut::activated, this, slot);
    };
    shortcut(Qt::CTRL | Qt::Key_I, &CInspectorHooks::OnInspect);
    shortcut(Qt::CTRL | Qt::Key_F, &CInspectorHooks::OnFind);
    shortcut(Qt::CTRL | Qt::Key_G, &CInspectorHooks::OnGoToOffset);

    // The window menu's entry goes after "Save analysis...".
    if (QMenu* menu = dlg.WindowMenu())
    {
        QAction* before = nullptr;
        const QList<QAction*> actions = menu->actions();
        for (qsizetype i = 0; i + 1 < actions.size(); ++i)
            if (actions[i]->data().toUInt() == CAnalyzerDlg::IDM_SAVEANALYSIS)
                before = actions[i + 1];
        // The menu shows the keys; the shortcuts above do the work.
        auto add = [&](const char* text, QKeyCombination keys, void (CInspectorHooks::*slot)()) {
            auto* action = new QAction(QString::fromLatin1(text), menu);
            action->setShortcut(QKeySequence(keys));
            action->setShortcutContext(Qt::WidgetShortcut);
            menu->insertAction(before, action);
            connect(action, &QAction::triggered, this, slot);
        };
        add(kMenuText, Qt::CTRL | Qt::Key_I, &CInspectorHooks::OnInspect);
        add(kFindMenuText, Qt::CTRL | Qt::Key_F, &CInspectorHooks::OnFind);
        add(kGoToMenuText, Qt::CTRL | Qt::Key_G, &CInspectorHooks::OnGoToOffset);
    }

    // The program ends with the main dialog: the inspector closes with it, as if the
    // user had closed it (its layout is kept).
    connect(&dlg, &QDialog::finished, this, [this] {
        if (m_pWindow)
            m_pWindow->close();
    });

    if (QItemSelectionModel* selection = dlg.m_treeView.selectionModel())
        connect(selection, &QItemSelectionModel::currentChanged, this, &CInspectorHooks::OnTreeLineChanged);
    // A new analysis clears the tree: a search over it stops first, and the pack lines
    // are looked up anew.
    connect(&dlg.Model(), &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        if (m_pSearch)
            m_pSearch->Stop();
        m_pLinks.reset();
        m_pLinksOf = nullptr;
    });
}

CInspectorHooks::~CInspectorHooks()
{
    if (m_pSearch)
        m_pSearch->Stop();
}

CInspectorWindow& CInspectorHooks::Window()
{
    if (!m_pWindow)
    {
        m_pWindow = std::make_unique<CInspectorWindow>();
        m_pWindow->setWindowIcon(m_dlg.windowIcon());
        m_pWindow->SetPackLink([this](quint64 offset, quint32 number) { return LinkPack(offset, number); });
    }
    return *m_pWindow;
}

void CInspectorHooks::OnInspect()
{
    m_dlg.UpdateData(true);
    CInspectorWindow& window = Window();
    window.show();
    window.raise();
    window.activateWindow();
    if (!m_dlg.m_strFileName.isEmpty())
        window.Inspect(m_dlg.m_strFileName);
}

// ---------------------------------------------------------------------------------
// Packs and tree lines
// ---------------------------------------------------------------------------------

inspector::CTreeLinks* CInspectorHooks::Links()
{
    const CPackList* records = m_dlg.Driver().Records();
    if (m_dlg.IsRunning() || records == nullptr)
        return nullptr;
    if (!m_pLinks || records != m_pLinksOf || records->Count() != m_nLinksCount)
    {
        m_pLinks = std::make_unique<inspector::CTreeLinks>(m_dlg.ResultTree(), records, m_dlg.Driver().FileSize());
        m_pLinksOf = records;
        m_nLinksCount = records->Count();
    }
    return m_pLinks.get();
}

bool CInspectorHooks::ShowsInspectedFile() const
{
    const CPackList* records = m_dlg.Driver().Records();
    return records != nullptr && m_pWindow && m_pWindow->Result() &&
           QFile::decodeName(QByteArray::fromStdString(records->m_strInputPath)) == m_pWindow->FilePath();
}

std::vector<uint8_t> CInspectorHooks::ReadAnalysed(uint64_t offset, uint64_t size) const
{
    if (ShowsInspectedFile())
        return m_pWindow->ReadBytes(offset, size);
    std::vector<uint8_t> bytes;
    const CPackList* records = m_dlg.Driver().Records();
    QFile file(records ? QFile::decodeName(QByteArray::fromStdString(records->m_strInputPath)) : QString());
    if (!file.open(QIODevice::ReadOnly) || !file.seek(static_cast<qint64>(offset)))
        return bytes;
    bytes.resize(static_cast<size_t>(size));
    const qint64 got = file.read(reinterpret_cast<char*>(bytes.data()), static_cast<qint64>(size));
    bytes.resize(static_cast<size_t>(std::max<qint64>(got, 0)));
    return bytes;
}

ItemId CInspectorHooks::PackLine(uint64_t offset, bool exact)
{
    inspector::CTreeLinks* links = Links();
    if (links == nullptr)
        return kNoItem;
    const auto& starts = links->PackStarts();
    auto it = std::upper_bound(starts.begin(), starts.end(), offset,
                               [](uint64_t value, const auto& entry) { return value < entry.first; });
    if (it == starts.begin())
        return kNoItem;
    --it;
    if (exact && it->first != offset)
        return kNoItem;
    return PackNumberLine(it->second);
}

ItemId CInspectorHooks::PackNumberLine(uint32_t number)
{
    const CResultTree& tree = m_dlg.ResultTree();
    if (m_dlg.IsRunning() || number == 0 || tree.ChildCount(kNoItem) == 0)
        return kNoItem;
    // "PACK #n" lines are the children of "Packet structure", in order; the n-th is
    // looked at first.
    const ItemId root = tree.Child(kNoItem, 0);
    ItemId packets = kNoItem;
    for (uint32_t row = 0; row < tree.ChildCount(root) && packets == kNoItem; ++row)
        if (tree.Format(tree.Child(root, row)) == LineFmt::PacketStructure)
            packets = tree.Child(root, row);
    if (packets == kNoItem)
        return kNoItem;
    auto isPack = [&](ItemId line) {
        return tree.Format(line) == LineFmt::PackNumber && static_cast<uint32_t>(tree.Arg(line)) == number;
    };
    const uint32_t count = tree.ChildCount(packets);
    if (number <= count && isPack(tree.Child(packets, number - 1)))
        return tree.Child(packets, number - 1);
    for (uint32_t row = 0; row < count; ++row)
        if (isPack(tree.Child(packets, row)))
            return tree.Child(packets, row);
    return kNoItem;
}

bool CInspectorHooks::SelectLine(ItemId line)
{
    CResultTree& tree = m_dlg.ResultTree();
    if (line == kNoItem || !tree.IsValid(line) || m_dlg.IsRunning())
        return false;
    std::vector<ItemId> above;
    for (ItemId p = tree.Parent(line); p != kNoItem; p = tree.Parent(p))
        above.push_back(p);
    // Opened from the top down, each as if the user had opened it.
    for (auto it = above.rbegin(); it != above.rend(); ++it)
    {
        const QModelIndex index = m_dlg.Model().IndexOf(*it);
        if (!m_dlg.m_treeView.isExpanded(index))
            m_dlg.m_treeView.setExpanded(index, true);
    }
    const QModelIndex index = m_dlg.Model().IndexOf(line);
    m_dlg.m_treeView.setCurrentIndex(index);
    m_dlg.m_treeView.scrollTo(index, QAbstractItemView::PositionAtCenter);
    return true;
}

QString CInspectorHooks::LinkPack(quint64 packOffset, quint32 number)
{
    if (m_dlg.IsRunning())
        return QStringLiteral("the main window is analysing");
    if (!ShowsInspectedFile())
        return m_dlg.Driver().Records() ? QStringLiteral("the main window's tree shows another file")
                                        : QStringLiteral("the main window shows no tree");
    inspector::CTreeLinks* links = Links();
    const uint32_t inTree = links ? links->PackNumberAt(packOffset) : 0;
    // The tree follows the inspector here; its new line must not send its own bytes back.
    m_bLinking = true;
    const bool selected = inTree != 0 && SelectLine(PackNumberLine(inTree));
    m_bLinking = false;
    if (selected)
        return inTree == number ? QString()
                                : QStringLiteral("the tree, which found its packs in its own way, has it as PACK #%1")
                                      .arg(inTree);
    const auto& starts = links ? links->PackStarts() : std::vector<std::pair<uint64_t, uint32_t>>();
    if (starts.empty() || packOffset > starts.back().first)
        return QStringLiteral("not in the tree, which holds packs up to #%1: analyse more packs to see it")
            .arg(links ? links->LastPack() : 0);
    return QStringLiteral("not in the tree: it found no pack at offset %1").arg(packOffset);
}

void CInspectorHooks::OnTreeLineChanged()
{
    // The bytes of the element a tree line shows, when the inspector shows that file.
    if (m_bLinking || !m_pWindow || !m_pWindow->isVisible() || !ShowsInspectedFile())
        return;
    inspector::CTreeLinks* links = Links();
    inspector::CTreeLinks::Target target;
    const ItemId line = m_dlg.Model().LineOf(m_dlg.m_treeView.currentIndex());
    if (links == nullptr ||
        !links->LineTarget(line, [this](uint64_t o, uint64_t n) { return ReadAnalysed(o, n); }, target))
        return;
    m_pWindow->ShowElement(target.range.offset, target.range.size, target.pack, QString::fromStdString(target.name));
}

// ---------------------------------------------------------------------------------
// Find and go to
// ---------------------------------------------------------------------------------

CTreeSearchDlg& CInspectorHooks::Search()
{
    if (!m_pSearch)
    {
        auto found = [this](ItemId line) {
            SelectLine(line);
            KeepSearchClearOf(line);
        };
        m_pSearch = new CTreeSearchDlg(
            m_dlg.ResultTree(), [this] { return m_dlg.Model().LineOf(m_dlg.m_treeView.currentIndex()); }, found,
            [this](uint32_t n) { return PackNumberLine(n); }, &m_dlg);
    }
    return *m_pSearch;
}

void CInspectorHooks::PlaceSearch()
{
    // Beside the main window, where the screen has room, so that it hides no tree line;
    // where it has none, a found line is kept clear of it (KeepSearchClearOf).
    CTreeSearchDlg& search = Search();
    search.adjustSize();
    const QRect main = m_dlg.frameGeometry();
    const QSize size = search.frameGeometry().size();
    const QScreen* screen = m_dlg.screen();
    const QRect room = screen ? screen->availableGeometry() : QRect(main.topLeft(), main.size() * 3);
    QPoint at(main.right() + 1, main.top());
    if (at.x() + size.width() - 1 > room.right())
        at.setX(main.left() - size.width());
    if (at.x() < room.left())
        at = QPoint(main.left(), std::min(main.bottom() + 1, room.bottom() - size.height() + 1));
    search.move(at);
}

void CInspectorHooks::KeepSearchClearOf(ItemId line)
{
    if (!m_pSearch || !m_pSearch->isVisible())
        return;
    QRect rect = m_dlg.m_treeView.visualRect(m_dlg.Model().IndexOf(line));
    if (rect.isEmpty())
        return;
    rect = QRect(m_dlg.m_treeView.viewport()->mapToGlobal(rect.topLeft()), rect.size());
    const QRect frame = m_pSearch->frameGeometry();
    if (!frame.intersects(rect))
        return;
    // Below the line where there is room for it, else above it.
    const QScreen* screen = m_dlg.screen();
    const int bottom = screen ? screen->availableGeometry().bottom() : rect.bottom() + frame.height() + 10;
    const int y = rect.bottom() + 1 + frame.height() <= bottom ? rect.bottom() + 1 : rect.top() - frame.height();
    m_pSearch->move(frame.left(), y);
}

void CInspectorHooks::OnFind()
{
    if (m_dlg.IsRunning())
        return;
    CTreeSearchDlg& search = Search();
    if (!search.isVisible())
        PlaceSearch();
    search.show();
    search.raise();
    search.activateWindow();
    search.TextEdit()->setFocus();
    search.TextEdit()->selectAll();
}

void CInspectorHooks::OnGoToOffset()
{
    if (m_dlg.IsRunning())
        return;
    QInputDialog ask(&m_dlg);
    ask.setWindowTitle(QStringLiteral("Go to offset"));
    ask.setLabelText(QStringLiteral("Byte offset (decimal, or hex with 0x):"));
    if (ExecOverParent(ask) != QDialog::Accepted || ask.textValue().trimmed().isEmpty())
        return;
    const QString problem = GoToOffset(ask.textValue());
    if (!problem.isEmpty())
        m_dlg.MessageBox(problem);
}

QString CInspectorHooks::GoToOffset(const QString& typed)
{
    const QString text = typed.trimmed();
    bool ok = false;
    const uint64_t offset = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2).toULongLong(&ok, 16)
                                                                                     : text.toULongLong(&ok, 10);
    if (!ok)
        return QStringLiteral("\"%1\" is no offset: type a decimal number, or a hexadecimal one after 0x.").arg(text);
    inspector::CTreeLinks* links = Links();
    if (links == nullptr || links->PackStarts().empty())
        return QStringLiteral("The tree holds no packs to go to.");
    const QLocale numbers(QLocale::English);
    const uint64_t fileSize = m_dlg.Driver().FileSize();
    if (offset >= fileSize)
        return QStringLiteral("Offset %1 lies past the end of the file (%2 bytes).")
            .arg(text, numbers.toString(qulonglong(fileSize)));
    const uint64_t first = links->PackStarts().front().first;
    if (offset < first)
        return QStringLiteral("Offset %1 lies before the first pack of the tree, which starts at %2.")
            .arg(text, numbers.toString(qulonglong(first)));
    const uint64_t end = links->AnalysedEnd([this](uint64_t o, uint64_t n) { return ReadAnalysed(o, n); });
    if (offset >= end)
        return QStringLiteral("The tree holds packs up to #%1 (bytes 0 to %2); analyse more packs to reach offset %3.")
            .arg(links->LastPack())
            .arg(numbers.toString(qulonglong(end > 0 ? end - 1 : 0)), numbers.toString(qulonglong(offset)));
    if (!SelectLine(PackLine(offset, false)))
        return QStringLiteral("No pack in the tree holds offset %1.").arg(text);
    return QString();
}
