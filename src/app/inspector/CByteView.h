#pragma once
// Hex and ASCII view of a file, or of files read one after the other as one (a VOB set),
// 16 bytes a row with the offset in front. Only the rows on screen are read, each time
// they are painted, so a file of any size shows at once and nothing of it is kept. One
// range of bytes (the selected element) is highlighted.

#include <QAbstractScrollArea>
#include <QFile>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class CByteView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit CByteView(QWidget* parent = nullptr);
    ~CByteView() override;

    // False when the file cannot be opened (the view then shows nothing).
    bool SetFile(const QString& path) { return SetFiles({path}); }
    // The files as one, each starting where the one before it ends; false when one cannot
    // be opened.
    bool SetFiles(const QStringList& paths);
    void Clear();
    uint64_t FileSize() const { return m_nSize; }
    // The name of the file that holds an offset, and the offset in it (*within).
    QString FileAt(uint64_t offset, uint64_t* within = nullptr) const;
    int FileCount() const { return static_cast<int>(m_parts.size()); }
    // Up to size bytes of the file at offset (fewer at its end, none without a file).
    std::vector<uint8_t> Read(uint64_t offset, uint64_t size) const;

    // Highlights [start, start + length) and scrolls its first row into view.
    void ShowRange(uint64_t start, uint64_t length);
    void GoTo(uint64_t offset) { ShowRange(offset, 1); }
    uint64_t HighlightStart() const { return m_nHiStart; }
    uint64_t HighlightLength() const { return m_nHiLength; }
    uint64_t TopOffset() const;

    static constexpr int kBytesPerRow = 16;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdateScrollBar();
    int VisibleRows() const;

    struct Part
    {
        std::unique_ptr<QFile> file;
        uint64_t start = 0, size = 0;
    };
    std::vector<Part> m_parts;
    uint64_t m_nSize = 0;
    uint64_t m_nHiStart = 0, m_nHiLength = 0;
};
