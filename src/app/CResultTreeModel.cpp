#include "app/CResultTreeModel.h"

#include "analysis/LineFormat.h"
#include "controls/Resources.h"

#include <QHeaderView>

#include <limits>

// ---------------------------------------------------------------------------------
// Model
// ---------------------------------------------------------------------------------

CResultTreeModel::CResultTreeModel(CResultTree& tree, QObject* parent)
    : QAbstractItemModel(parent), m_tree(tree), m_images(Res::LoadImageList(Res::IDB_TREEIMAGES, 13, Qt::white))
{
}

CResultTreeModel::~CResultTreeModel() = default;

void CResultTreeModel::Freeze()
{
    beginResetModel();
    m_bFrozen = true;
    endResetModel();
}

void CResultTreeModel::Thaw()
{
    beginResetModel();
    m_bFrozen = false;
    endResetModel();
}

ItemId CResultTreeModel::LineOf(const QModelIndex& index) const
{
    if (m_bFrozen || !index.isValid() || index.model() != this)
        return kNoItem;
    const auto id = static_cast<ItemId>(index.internalId());
    return m_tree.IsValid(id) ? id : kNoItem;
}

QModelIndex CResultTreeModel::IndexOf(ItemId line) const
{
    if (m_bFrozen || !m_tree.IsValid(line))
        return QModelIndex();
    const uint32_t row = m_tree.Row(line);
    if (row > static_cast<uint32_t>(std::numeric_limits<int>::max()))
        return QModelIndex();
    return createIndex(static_cast<int>(row), 0, static_cast<quintptr>(line));
}

void CResultTreeModel::IconSwitch(const QModelIndex& index, bool expanding)
{
    const ItemId line = LineOf(index);
    if (line == kNoItem)
        return;
    m_tree.IconSwitch(line, expanding);
    emit dataChanged(index, index, {Qt::DecorationRole});
}

QModelIndex CResultTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (m_bFrozen || row < 0 || column != 0)
        return QModelIndex();
    const ItemId p = parent.isValid() ? LineOf(parent) : kNoItem;
    if (parent.isValid() && p == kNoItem)
        return QModelIndex();
    if (static_cast<uint32_t>(row) >= m_tree.ChildCount(p))
        return QModelIndex();
    return createIndex(row, 0, static_cast<quintptr>(m_tree.Child(p, static_cast<uint32_t>(row))));
}

QModelIndex CResultTreeModel::parent(const QModelIndex& child) const
{
    const ItemId line = LineOf(child);
    if (line == kNoItem)
        return QModelIndex();
    return IndexOf(m_tree.Parent(line));
}

int CResultTreeModel::rowCount(const QModelIndex& parent) const
{
    if (m_bFrozen || parent.column() > 0)
        return 0;
    const ItemId p = parent.isValid() ? LineOf(parent) : kNoItem;
    if (parent.isValid() && p == kNoItem)
        return 0;
    const uint32_t n = m_tree.ChildCount(p);
    // A view counts rows in int; more children than that under one line cannot be shown.
    return n > static_cast<uint32_t>(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
                                                                      : static_cast<int>(n);
}

int CResultTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool CResultTreeModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant CResultTreeModel::data(const QModelIndex& index, int role) const
{
    const ItemId line = LineOf(index);
    if (line == kNoItem)
        return QVariant();
    switch (role)
    {
    case Qt::DisplayRole:
        m_text.clear();
        AppendLineText(m_tree, line, m_text);
        return QString::fromLocal8Bit(m_text.data(), static_cast<qsizetype>(m_text.size()));
    case Qt::DecorationRole:
    {
        const uint8_t image = m_tree.Image(line);
        if (image < m_images.size() && !m_images[image].isNull())
            return m_images[image];
        return QVariant();
    }
    default:
        return QVariant();
    }
}

Qt::ItemFlags CResultTreeModel::flags(const QModelIndex& index) const
{
    if (LineOf(index) == kNoItem)
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

// ---------------------------------------------------------------------------------
// View
// ---------------------------------------------------------------------------------

CResultView::CResultView(QWidget* parent) : QTreeView(parent)
{
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(true);
    setExpandsOnDoubleClick(true);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAnimated(false);
    setIconSize(QSize(13, 13));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Long lines scroll instead of being cut off with an ellipsis.
    setTextElideMode(Qt::ElideNone);
    // The column grows with the widest line the view has laid out.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

CResultView::~CResultView() = default;

void CResultView::drawBranches(QPainter*, const QRect&, const QModelIndex&) const
{
    // No lines and no expand buttons: the line's image says whether it is open.
}
