#pragma once
// What the inspector adds to the main dialog: the "inspect" button, Ctrl+I and a window
// menu entry that open the inspector on the file in the field; the link from a pack
// selected in the inspector to its line in the tree (and from a tree line to its bytes);
// Ctrl+F (search the tree's lines, go to a pack number) and Ctrl+G (go to the pack that
// holds a byte offset). The dialog creates one and otherwise knows nothing of it.

#include "analysis/CResultTree.h"
#include "controls/CQuimbelButton.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class CAnalyzerDlg;
class CInspectorWindow;
class CTreeSearchDlg;
class CPackList;

class CInspectorHooks : public QObject
{
    Q_OBJECT
public:
    explicit CInspectorHooks(CAnalyzerDlg& dlg);
    ~CInspectorHooks() override;

    static constexpr const char* kMenuText = "&Inspect stream...";

    // Opens (or raises) the inspector on the file named in the field.
    void OnInspect();
    void OnFind();
    void OnGoToOffset();

    // The window, made on first use.
    CInspectorWindow& Window();
    bool HasWindow() const { return m_pWindow != nullptr; }
    CTreeSearchDlg& Search();

    // Tree lines of packs: the line of the pack that starts at packOffset (exact) or
    // that holds the byte at offset; kNoItem when that pack is not in the tree.
    ItemId PackLine(uint64_t offset, bool exact);
    // The line of "PACK #number" (1-based, as the tree counts), or kNoItem.
    ItemId PackNumberLine(uint32_t number);
    // Selects a tree line, opening the lines above it; false for kNoItem.
    bool SelectLine(ItemId line);

    CQuimbelButton m_btnInspect;

private:
    void OnPackSelected(quint64 packOffset);
    void OnTreeLineChanged();
    // (pack start offset, pack number) of the analysis on show, in file order.
    const std::vector<std::pair<uint64_t, uint32_t>>& PackStarts();

    CAnalyzerDlg& m_dlg;
    std::unique_ptr<CInspectorWindow> m_pWindow;
    QPointer<CTreeSearchDlg> m_pSearch;
    std::vector<std::pair<uint64_t, uint32_t>> m_packStarts;
    const CPackList* m_pLinesOf = nullptr;
    uint32_t m_nLinesCount = 0;
};
