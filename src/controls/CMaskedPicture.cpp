#include "controls/CMaskedPicture.h"

#include "controls/CSkinDialog.h"
#include "controls/Raster.h"
#include "controls/Resources.h"

#include <QPainter>

CMaskedPicture::CMaskedPicture(QWidget* parent)
    : QWidget(parent)
{
}

CMaskedPicture::~CMaskedPicture() = default;

QImage CMaskedPicture::Render() const
{
    return Render(1.0);
}

QImage CMaskedPicture::Render(qreal scale) const
{
    if (m_nPicture == 0)
        return QImage();

    // The artwork comes at its size and at twice it; a screen between the two takes the
    // larger and lets the painter scale it down.
    int factor = scale > 1.0 ? 2 : 1;
    QImage picture = Res::LoadImage(m_nPicture, factor);
    if (factor != 1 && picture.isNull())
    {
        factor = 1;
        picture = Res::LoadImage(m_nPicture);
    }
    const QSize size = this->size() * factor;
    // Both bitmaps are loaded at every paint. Where a bitmap is smaller than the control
    // its missing pixels count as black: no picture there, and the background shows.
    QImage mask = Res::LoadImage(m_nMask != 0 ? m_nMask : m_nPicture, factor);
    picture = picture.isNull() ? Raster::MakeImage(size)
                               : picture.convertToFormat(QImage::Format_RGB32).copy(QRect(QPoint(0, 0), size));
    mask = mask.isNull() ? Raster::MakeImage(size)
                         : mask.convertToFormat(QImage::Format_RGB32).copy(QRect(QPoint(0, 0), size));

    // The background is painted in the control's coordinates, so at the factor; the
    // raster operations then work on plain pixels.
    QImage background = Raster::MakeImage(size);
    background.setDevicePixelRatio(factor);
    {
        QPainter painter(&background);
        PaintParentBackground(this, painter);
    }
    background.setDevicePixelRatio(1);

    // (picture AND mask) OR (background AND NOT mask)
    Raster::And(picture, mask);
    Raster::Invert(mask);
    Raster::And(background, mask);
    QImage composite = Raster::MakeImage(size);
    composite.fill(0xFFFFFFFFu);
    Raster::And(composite, background);
    Raster::Or(composite, picture);
    composite.setDevicePixelRatio(factor);
    return composite;
}

void CMaskedPicture::paintEvent(QPaintEvent*)
{
    const QImage image = Render(devicePixelRatioF());
    if (image.isNull())
        return;  // no picture: nothing is drawn, the parent shows through
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), size()), image);
}
