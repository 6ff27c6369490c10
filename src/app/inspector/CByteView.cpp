#include "app/inspector/CByteView.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <vector>

CByteView::CByteView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    verticalScrollBar()->setSingleStep(1);
}

CByteView::~CByteView() = default;

bool CByteView::SetFiles(const QStringList& paths)
{
    Clear();
    for (const QString& path : paths)
    {
        Part part;
        part.file = std::make_unique<QFile>(path);
        if (!part.file->open(QIODevice::ReadOnly))
        {
            Clear();
            return false;
        }
        part.start = m_nSize;
        part.size = static_cast<uint64_t>(std::max<qint64>(part.file->size(), 0));
        m_nSize += part.size;
        m_parts.push_back(std::move(part));
    }
    UpdateScrollBar();
    viewport()->update();
    return true;
}

std::vector<uint8_t> CByteView::Read(uint64_t offset, uint64_t size) const
{
    std::vector<uint8_t> bytes;
    if (offset >= m_nSize)
        return bytes;
    bytes.resize(static_cast<size_t>(std::min(size, m_nSize - offset)));
    size_t got = 0;
    for (const Part& part : m_parts)
    {
        if (got == bytes.size())
            break;
        const uint64_t at = offset + got;
        if (at < part.start || at - part.start >= part.size)
            continue;
        const uint64_t want = std::min<uint64_t>(bytes.size() - got, part.size - (at - part.start));
        if (!part.file->seek(static_cast<qint64>(at - part.start)))
            break;
        const qint64 n = part.file->read(reinterpret_cast<char*>(bytes.data() + got), static_cast<qint64>(want));
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
        if (static_cast<uint64_t>(n) < want)
            break;
    }
    bytes.resize(got);
    return bytes;
}

QString CByteView::FileAt(uint64_t offset, uint64_t* within) const
{
    const Part* at = nullptr;
    for (const Part& part : m_parts)
        if (part.start <= offset)
            at = &part;
    if (within)
        *within = at ? offset - at->start : offset;
    return at ? QFileInfo(at->file->fileName()).fileName() : QString();
}

void CByteView::Clear()
{
    m_parts.clear();
    m_nSize = 0;
    m_nHiStart = m_nHiLength = 0;
    UpdateScrollBar();
    viewport()->update();
}

int CByteView::VisibleRows() const
{
    return std::max(1, viewport()->height() / std::max(1, fontMetrics().height()));
}

void CByteView::UpdateScrollBar()
{
    const uint64_t rows = (m_nSize + kBytesPerRow - 1) / kBytesPerRow;
    // The scroll bar counts rows in an int: beyond that (files over 32 GiB) its last
    // rows are reached through "go to offset" only.
    const uint64_t max = rows > static_cast<uint64_t>(VisibleRows()) ? rows - VisibleRows() : 0;
    verticalScrollBar()->setRange(0, static_cast<int>(std::min<uint64_t>(max, INT32_MAX)));
    verticalScrollBar()->setPageStep(VisibleRows());
}

uint64_t CByteView::TopOffset() const
{
    return static_cast<uint64_t>(verticalScrollBar()->value()) * kBytesPerRow;
}

void CByteView::ShowRange(uint64_t start, uint64_t length)
{
    if (m_nSize == 0)
        return;
    start = std::min(start, m_nSize - 1);
    m_nHiStart = start;
    m_nHiLength = std::min(length, m_nSize - start);
    const uint64_t row = start / kBytesPerRow;
    // Leave a few rows of context above the element.
    verticalScrollBar()->setValue(static_cast<int>(std::min<uint64_t>(row > 2 ? row - 2 : 0, INT32_MAX)));
    viewport()->update();
}

void CByteView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBar();
}

void CByteView::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), palette().base());
    if (m_nSize == 0)
        return;
    const QFontMetrics fm = fontMetrics();
    const int lineHeight = fm.height();
    const int charWidth = fm.horizontalAdvance(QLatin1Char('0'));
    const int hexX = charWidth * 12;
    const int asciiX = hexX + charWidth * (kBytesPerRow * 3 + 2);
    const int rows = VisibleRows() + 1;
    const uint64_t top = TopOffset();

    const std::vector<uint8_t> bytes = Read(top, static_cast<uint64_t>(rows) * kBytesPerRow);
    const auto got = static_cast<qint64>(bytes.size());

    const QColor highlight = palette().highlight().color();
    const QColor highlightText = palette().highlightedText().color();
    const QColor text = palette().text().color();
    const QColor dim = palette().placeholderText().color();
    for (int r = 0; r < rows; ++r)
    {
        const uint64_t rowOffset = top + static_cast<uint64_t>(r) * kBytesPerRow;
        if (rowOffset >= m_nSize || static_cast<qint64>(r) * kBytesPerRow >= got)
            break;
        const int y = r * lineHeight;
        const int baseline = y + fm.ascent();
        p.setPen(dim);
        p.drawText(0, baseline, QStringLiteral("%1").arg(rowOffset, 10, 16, QLatin1Char('0')).toUpper());
        for (int c = 0; c < kBytesPerRow; ++c)
        {
            const qint64 i = static_cast<qint64>(r) * kBytesPerRow + c;
            if (i >= got)
                break;
            const uint64_t offset = rowOffset + static_cast<uint64_t>(c);
            const uint8_t byte = bytes[static_cast<size_t>(i)];
            const bool lit = offset >= m_nHiStart && offset - m_nHiStart < m_nHiLength;
            const int hx = hexX + c * 3 * charWidth + (c >= 8 ? charWidth : 0);
            const int ax = asciiX + c * charWidth;
            if (lit)
            {
                p.fillRect(QRect(hx, y, charWidth * 2, lineHeight), highlight);
                p.fillRect(QRect(ax, y, charWidth, lineHeight), highlight);
            }
            p.setPen(lit ? highlightText : text);
            p.drawText(hx, baseline, QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper());
            p.drawText(ax, baseline, QString(QLatin1Char(byte >= 0x20 && byte < 0x7F ? char(byte) : '.')));
        }
    }
}
