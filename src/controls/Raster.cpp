#include "controls/Raster.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace
{
constexpr QRgb kColourBits = 0x00FFFFFFu;
}  // namespace

// ---------------------------------------------------------------------------------
// Shapes
// ---------------------------------------------------------------------------------

CShape::CShape(QSize canvas)
    : m_size(canvas.isValid() ? canvas : QSize(0, 0))
    , m_bits(static_cast<size_t>(m_size.width()) * static_cast<size_t>(m_size.height()), 0)
{
}

CShape CShape::Rectangle(QSize canvas, const QRect& r)
{
    CShape shape(canvas);
    const QRect area = r.intersected(QRect(QPoint(0, 0), shape.m_size));
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            shape.m_bits[static_cast<size_t>(y) * shape.m_size.width() + x] = 1;
    return shape;
}

CShape CShape::RoundRect(QSize canvas, const QRect& r, int ew, int eh)
{
    CShape shape(canvas);
    if (r.width() <= 0 || r.height() <= 0)
        return shape;

    // Radii of the corner ellipse, clamped so that opposite corners at most meet.
    const double rx = std::min(ew, r.width()) / 2.0;
    const double ry = std::min(eh, r.height()) / 2.0;
    const double left = r.left();
    const double top = r.top();
    const double right = r.left() + r.width();   // exclusive edges
    const double bottom = r.top() + r.height();

    const QRect area = r.intersected(QRect(QPoint(0, 0), shape.m_size));
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const double cy = y + 0.5;
        const double dy = std::max({0.0, top + ry - cy, cy - (bottom - ry)});
        for (int x = area.left(); x <= area.right(); ++x) {
            const double cx = x + 0.5;
            const double dx = std::max({0.0, left + rx - cx, cx - (right - rx)});
            bool inside = true;
            if (dx > 0.0 || dy > 0.0) {
                // A zero radius means a square corner along that axis.
                if (rx <= 0.0 || ry <= 0.0)
                    inside = true;
                else
                    inside = (dx * dx) / (rx * rx) + (dy * dy) / (ry * ry) <= 1.0 + 1e-9;
            }
            if (inside)
                shape.m_bits[static_cast<size_t>(y) * shape.m_size.width() + x] = 1;
        }
    }
    return shape;
}

CShape CShape::Capsule(QSize canvas, const QRect& r)
{
    return RoundRect(canvas, r, r.height(), r.height());
}

bool CShape::Contains(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_size.width() || y >= m_size.height())
        return false;
    return m_bits[static_cast<size_t>(y) * m_size.width() + x] != 0;
}

bool CShape::IsEmpty() const
{
    return std::none_of(m_bits.begin(), m_bits.end(), [](unsigned char b) { return b != 0; });
}

CShape CShape::Outline() const
{
    CShape edge(m_size);
    for (int y = 0; y < m_size.height(); ++y)
        for (int x = 0; x < m_size.width(); ++x)
            if (Contains(x, y)
                && (!Contains(x - 1, y) || !Contains(x + 1, y) || !Contains(x, y - 1)
                    || !Contains(x, y + 1)))
                edge.m_bits[static_cast<size_t>(y) * m_size.width() + x] = 1;
    return edge;
}

CShape CShape::Interior() const
{
    CShape inner = *this;
    const CShape edge = Outline();
    for (size_t i = 0; i < inner.m_bits.size(); ++i)
        if (edge.m_bits[i])
            inner.m_bits[i] = 0;
    return inner;
}

void CShape::Fill(QImage& image, QRgb colour) const
{
    const int w = std::min(image.width(), m_size.width());
    const int h = std::min(image.height(), m_size.height());
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            if (m_bits[static_cast<size_t>(y) * m_size.width() + x])
                line[x] = colour | 0xFF000000u;
    }
}

void CShape::Invert(QImage& image) const
{
    const int w = std::min(image.width(), m_size.width());
    const int h = std::min(image.height(), m_size.height());
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            if (m_bits[static_cast<size_t>(y) * m_size.width() + x])
                line[x] ^= kColourBits;
    }
}

void CShape::CopyFrom(QImage& image, const QImage& source) const
{
    const int w = std::min({image.width(), source.width(), m_size.width()});
    const int h = std::min({image.height(), source.height(), m_size.height()});
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const QRgb* from = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = 0; x < w; ++x)
            if (m_bits[static_cast<size_t>(y) * m_size.width() + x])
                line[x] = from[x];
    }
}

// ---------------------------------------------------------------------------------
// Bitwise operations
// ---------------------------------------------------------------------------------

QImage Raster::MakeImage(QSize size)
{
    QImage image(size.expandedTo(QSize(0, 0)), QImage::Format_RGB32);
    image.fill(0xFF000000u);
    return image;
}

namespace
{
// The operations read 32-bit pixels; anything else (a monochrome mask, an indexed
// picture) is converted first.
QImage As32Bit(const QImage& image)
{
    if (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32)
        return image;
    return image.convertToFormat(QImage::Format_RGB32);
}
}  // namespace

namespace
{
// dest = src OP dest through the painter's raster operations, which keep the alpha of
// the result opaque.
void Combine(QImage& dest, const QImage& source, QPainter::CompositionMode op)
{
    QPainter painter(&dest);
    painter.setCompositionMode(op);
    painter.drawImage(0, 0, As32Bit(source));
    if (op != QPainter::RasterOp_SourceAndDestination)
        return;
    // Pixels the source does not cover count as black: AND makes them black.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const int w = source.width(), h = source.height();
    painter.fillRect(QRect(w, 0, dest.width() - w, dest.height()), Qt::black);
    painter.fillRect(QRect(0, h, w, dest.height() - h), Qt::black);
}
}  // namespace

void Raster::And(QImage& dest, const QImage& source)
{
    Combine(dest, source, QPainter::RasterOp_SourceAndDestination);
}

void Raster::Or(QImage& dest, const QImage& source)
{
    Combine(dest, source, QPainter::RasterOp_SourceOrDestination);
}

void Raster::Invert(QImage& dest)
{
    dest.invertPixels(QImage::InvertRgb);
}
