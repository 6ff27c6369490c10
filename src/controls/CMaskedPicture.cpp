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
    if (m_nPicture == 0)
        return QImage();

    const QSize size = this->size();
    // Both bitmaps are loaded at every paint. Where a bitmap is smaller than the control
    // its missing pixels count as black: no picture there, and the background shows.
    QImage picture = Res::LoadImage(m_nPicture);
    QImage mask = Res::LoadImage(m_nMask != 0 ? m_nMask : m_nPicture);
    picture = picture.isNull() ? Raster::MakeImage(size)
                               : picture.convertToFormat(QImage::Format_RGB32).copy(QRect(QPoint(0, 0), size));
    mask = mask.isNull() ? Raster::MakeImage(size)
                         : mask.convertToFormat(QImage::Format_RGB32).copy(QRect(QPoint(0, 0), size));

    QImage background = Raster::MakeImage(size);
    {
        QPainter painter(&background);
        PaintParentBackground(this, painter);
    }

    // (picture AND mask) OR (background AND NOT mask)
    Raster::And(picture, mask);
    Raster::Invert(mask);
    Raster::And(background, mask);
    QImage composite = Raster::MakeImage(size);
    composite.fill(0xFFFFFFFFu);
    Raster::And(composite, background);
    Raster::Or(composite, picture);
    return composite;
}

void CMaskedPicture::paintEvent(QPaintEvent*)
{
    const QImage image = Render();
    if (image.isNull())
        return;  // no picture: nothing is drawn, the parent shows through
    QPainter painter(this);
    painter.drawImage(0, 0, image);
}
