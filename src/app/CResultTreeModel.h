#pragma once
// The result tree as Qt sees it. The model reads CResultTree directly: an index's
// internal id is the line id, rows and parents come from the store's child index, and
// texts are formatted only when the view asks for them. Nothing is kept per line on
// the Qt side, which is what lets a tree of tens of millions of lines open at once.

#include "analysis/CResultTree.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QList>
#include <QTreeView>

#include <string>
#include <vector>

class CResultTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit CResultTreeModel(CResultTree& tree, QObject* parent = nullptr);
    ~CResultTreeModel() override;

    // While a run rebuilds the store the model shows an empty tree, so that repaints
    // during the run never walk a half-built tree. Each switch is a model reset.
    void Freeze();
    void Thaw();
    bool IsFrozen() const { return m_bFrozen; }

    // The line behind an index (kNoItem for the invisible root or a foreign index).
    ItemId LineOf(const QModelIndex& index) const;
    QModelIndex IndexOf(ItemId line) const;

    // The icon switch for a line the user opened or closed; repaints its image.
    void IconSwitch(const QModelIndex& index, bool expanding);

    // The lines of the branch below index (index's own line first) that have lines below
    // them, in the order they were added; false, with groups left empty, when the branch
    // holds more than atMost lines.
    bool BranchGroups(const QModelIndex& index, uint32_t atMost, std::vector<ItemId>& groups) const;

    // The tree images cut from the bitmap strip, white transparent.
    const QList<QIcon>& Images() const { return m_images; }

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    CResultTree& m_tree;
    bool m_bFrozen = false;
    QList<QIcon> m_images;
    mutable std::string m_text;  // scratch for formatting, reused across calls
};

// The tree view of the main dialog: no connecting lines, no expand buttons, no root
// decoration; a line's own image shows whether it is open.
class CResultView : public QTreeView
{
    Q_OBJECT
public:
    explicit CResultView(QWidget* parent = nullptr);
    ~CResultView() override;

    // `*` opens the current line's whole branch, unless the branch is larger than this:
    // then one level only, since laying out millions of open lines takes minutes and
    // gigabytes.
    static constexpr uint32_t kExpandBranchLimit = 100000;
    void ExpandBranch(const QModelIndex& index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
};
