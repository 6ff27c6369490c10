#include "app/inspector/CInspectorHooks.h"

#include "app/CAnalyzerDlg.h"
#include "app/inspector/CInspectorWindow.h"
#include "app/inspector/CTreeSearchDlg.h"
#include "app/DialogFont.h"
#include "app/ModalRun.h"

#include <QAction>
#include <QInputDialog>
#include <QMenu>
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
        auto* action = new QAction(QString::fromLatin1(kMenuText), menu);
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
        action->setShortcutContext(Qt::WidgetShortcut);
        menu->insertAction(before, action);
        connect(action, &QAction::triggered, this, &CInspectorHooks::OnInspect);
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
        m_packStarts.clear();
        m_pLinesOf = nullptr;
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
        connect(m_pWindow.get(), &CInspectorWindow::PackSelected, this,
                [this](quint64 offset, quint32) { OnPackSelected(offset); });
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

const std::vector<std::pair<uint64_t, uint32_t>>& CInspectorHooks::PackStarts()
{
    const CPackList* records = m_dlg.Driver().Records();
    if (records != m_pLinesOf || (records && records->Count() != m_nLinesCount))
    {
        m_packStarts.clear();
        m_pLinesOf = records;
        m_nLinesCount = records ? records->Count() : 0;
        // A record's position is taken just after its pack start code.
        if (records)
            for (const CPackNode& node : records->Nodes())
                if (node.m_nPackNumber != 0 && node.m_nPosition >= 4)
                    m_packStarts.emplace_back(node.m_nPosition - 4, node.m_nPackNumber);
        std::stable_sort(m_packStarts.begin(), m_packStarts.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    return m_packStarts;
}

ItemId CInspectorHooks::PackLine(uint64_t offset, bool exact)
{
    if (m_dlg.IsRunning())
        return kNoItem;
    const auto& starts = PackStarts();
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

void CInspectorHooks::OnPackSelected(quint64 packOffset)
{
    // Only when the tree shows the file the inspector looks at.
    const CPackList* records = m_dlg.Driver().Records();
    if (records == nullptr || !m_pWindow ||
        QString::fromLocal8Bit(records->m_strInputPath.c_str()) != m_pWindow->FilePath())
        return;
    SelectLine(PackLine(packOffset, true));
}

void CInspectorHooks::OnTreeLineChanged()
{
    // The bytes of the pack a tree line belongs to, when the inspector shows that file.
    if (!m_pWindow || !m_pWindow->isVisible() || !m_pWindow->Result() || m_dlg.IsRunning())
        return;
    const CPackList* records = m_dlg.Driver().Records();
    if (records == nullptr || QString::fromLocal8Bit(records->m_strInputPath.c_str()) != m_pWindow->FilePath())
        return;
    const CResultTree& tree = m_dlg.ResultTree();
    ItemId line = m_dlg.Model().LineOf(m_dlg.m_treeView.currentIndex());
    while (line != kNoItem && tree.Format(line) != LineFmt::PackNumber)
        line = tree.Parent(line);
    if (line == kNoItem)
        return;
    const auto number = static_cast<uint32_t>(tree.Arg(line));
    for (const auto& [offset, n] : PackStarts())
        if (n == number)
        {
            m_pWindow->ShowPack(offset);
            return;
        }
}

// ---------------------------------------------------------------------------------
// Find and go to
// ---------------------------------------------------------------------------------

CTreeSearchDlg& CInspectorHooks::Search()
{
    if (!m_pSearch)
    {
        m_pSearch = new CTreeSearchDlg(
            m_dlg.ResultTree(), [this] { return m_dlg.Model().LineOf(m_dlg.m_treeView.currentIndex()); },
            [this](ItemId line) { SelectLine(line); }, [this](uint32_t n) { return PackNumberLine(n); }, &m_dlg);
    }
    return *m_pSearch;
}

void CInspectorHooks::OnFind()
{
    if (m_dlg.IsRunning())
        return;
    CTreeSearchDlg& search = Search();
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
    bool ok = false;
    QInputDialog ask(&m_dlg);
    ask.setWindowTitle(QStringLiteral("Go to offset"));
    ask.setLabelText(QStringLiteral("Byte offset (decimal, or hex with 0x):"));
    if (ExecOverParent(ask) != QDialog::Accepted)
        return;
    const QString text = ask.textValue().trimmed();
    if (text.isEmpty())
        return;
    const uint64_t offset = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                                ? text.mid(2).toULongLong(&ok, 16)
                                : text.toULongLong(&ok, 10);
    if (!ok || !SelectLine(PackLine(offset, false)))
        m_dlg.MessageBox(QStringLiteral("No pack in the tree holds offset %1.").arg(text));
}
