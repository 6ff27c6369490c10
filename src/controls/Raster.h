#pragma once
// Pixel-exact shapes and bitwise image operations for the drawn controls.
//
// The controls compose their images with raster operations (AND, OR, invert) through
// masks. Antialiased shapes would leave half-covered pixels in those masks, so the
// capsules and rectangles here are rasterised by pixel centre: a pixel belongs to a
// shape or it does not, and an outline is the one-pixel edge of the filled shape.

#include <QImage>
#include <QRect>
#include <QSize>
#include <vector>

class CShape
{
public:
    explicit CShape(QSize canvas = QSize());

    // Filled rectangle r, clipped to the canvas.
    static CShape Rectangle(QSize canvas, const QRect& r);
    // Filled rounded rectangle r whose corners are quarter ellipses of ew x eh pixels;
    // the ellipse is clamped to the rectangle, as a corner cannot be larger than it.
    static CShape RoundRect(QSize canvas, const QRect& r, int ew, int eh);
    // A capsule: a rounded rectangle whose corner ellipse is as wide and as high as the
    // rectangle's own height, so its short ends are half circles.
    static CShape Capsule(QSize canvas, const QRect& r);

    // The pixels of the shape that touch a pixel outside it (4-neighbourhood).
    CShape Outline() const;
    // The shape without its outline.
    CShape Interior() const;

    bool Contains(int x, int y) const;
    QSize Size() const { return m_size; }
    bool IsEmpty() const;

    // Sets every pixel of the shape to colour (an RGB32 or ARGB32 image).
    void Fill(QImage& image, QRgb colour) const;
    // Inverts the colour bits of every pixel of the shape.
    void Invert(QImage& image) const;
    // Copies the pixels of the shape from source into image (same sizes).
    void CopyFrom(QImage& image, const QImage& source) const;

private:
    QSize m_size;
    std::vector<unsigned char> m_bits;
};

namespace Raster
{
// A w x h image in the format the controls compose in.
QImage MakeImage(QSize size);

// dest = dest AND src, dest = dest OR src, dest = NOT dest on the colour bits of each
// pixel; src pixels outside its size count as black. dest keeps an opaque alpha.
void And(QImage& dest, const QImage& src);
void Or(QImage& dest, const QImage& src);
void Invert(QImage& dest);
}  // namespace Raster
