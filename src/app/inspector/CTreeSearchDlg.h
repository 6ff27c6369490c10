#pragma once
// Ctrl+F of the main dialog: the next or previous tree line that contains a text, and
// "go to pack". The search runs on a thread of its own with a progress bar; the tree is
// left alone meanwhile (a new analysis stops the search before it clears the tree).

#include "analysis/CResultTree.h"

#include <QDialog>
#include <QTimer>

#include <atomic>
#include <functional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QThread;

class CTreeSearchDlg : public QDialog
{
    Q_OBJECT
public:
    // current gives the line to search from; found is called with the line found.
    CTreeSearchDlg(const CResultTree& tree, std::function<ItemId()> current, std::function<void(ItemId)> found,
                   std::function<ItemId(uint32_t)> packLine, QWidget* parent = nullptr);
    ~CTreeSearchDlg() override;

    void Find(bool forward);
    bool GoToPack(const QString& number);
    void Stop();  // and wait for the thread
    bool IsSearching() const { return m_pThread != nullptr; }

    QLineEdit* TextEdit() const { return m_pText; }
    QLineEdit* PackEdit() const { return m_pPack; }
    QString Status() const;
    // Where a line is: "under PACK #12", "under Elementary streams > (Video Stream 0)".
    QString PlaceOf(ItemId line) const;

signals:
    void SearchEnded(ItemId line);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnThreadDone();

    const CResultTree& m_tree;
    std::function<ItemId()> m_current;
    std::function<void(ItemId)> m_found;
    std::function<ItemId(uint32_t)> m_packLine;
    QLineEdit* m_pText = nullptr;
    QLineEdit* m_pPack = nullptr;
    QPushButton* m_pNext = nullptr;
    QPushButton* m_pPrevious = nullptr;
    QPushButton* m_pCancel = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QLabel* m_pStatus = nullptr;
    QThread* m_pThread = nullptr;
    QTimer m_poll;
    std::atomic<bool> m_stop{false};
    std::atomic<uint32_t> m_visited{0};
    ItemId m_result = kNoItem;
    QString m_needle;
};
