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
#include <QString>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class CAnalyzerDlg;
class CInspectorWindow;
namespace inspector
{
class CTreeLinks;
}
class CTreeSearchDlg;
class CPackList;

class CInspectorHooks : public QObject
{
    Q_OBJECT
public:
    explicit CInspectorHooks(CAnalyzerDlg& dlg);
    ~CInspectorHooks() override;

    static constexpr const char* kMenuText = "&Inspect stream...";
    static constexpr const char* kFindMenuText = "Find in the &tree...";
    static constexpr const char* kGoToMenuText = "&Go to offset...";

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

    // What Ctrl+G says about an offset it cannot go to; empty when it went there.
    QString GoToOffset(const QString& text);

private:
    // Selects the tree's line of the pack the inspector selected (by where it starts);
    // a note for the inspector when the tree does not hold it, empty when it does.
    QString LinkPack(quint64 packOffset, quint32 number);
    void OnTreeLineChanged();
    // The find dialog beside the main window; moved off a found line it would hide.
    void PlaceSearch();
    void KeepSearchClearOf(ItemId line);
    // The links between the tree and the bytes of the analysis on show, made anew after
    // each run; null while a run is under way or before the first.
    inspector::CTreeLinks* Links();
    // The tree shows the file the inspector shows.
    bool ShowsInspectedFile() const;
    // Reads the analysed file (through the inspector's view of it when that shows it).
    std::vector<uint8_t> ReadAnalysed(uint64_t offset, uint64_t size) const;

    CAnalyzerDlg& m_dlg;
    std::unique_ptr<CInspectorWindow> m_pWindow;
    QPointer<CTreeSearchDlg> m_pSearch;
    std::unique_ptr<inspector::CTreeLinks> m_pLinks;
    const CPackList* m_pLinksOf = nullptr;
    uint32_t m_nLinksCount = 0;
    bool m_bLinking = false;  // the tree is being moved to the inspector's pack
};
