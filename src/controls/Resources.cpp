#include "controls/Resources.h"

#include <QFile>

// The resources live in this static library. Its resource object would be dropped by the
// linker since nothing refers to it, so the first look-up registers it explicitly.
static void RegisterResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(varnodel);
        return true;
    }();
    (void)registered;
}

namespace
{
QString BitmapPath(int id)
{
    switch (id) {
    case Res::IDB_TREEIMAGES:
        return QStringLiteral(":/varnodel/treeimages.png");
    case Res::IDB_BACKGROUND:
        return QStringLiteral(":/varnodel/background.png");
    case Res::IDB_LOGO:
        return QStringLiteral(":/varnodel/logo.png");
    case Res::IDB_LOGOMASK:
        return QStringLiteral(":/varnodel/logomask.png");
    default:
        return QString();
    }
}
}  // namespace

QImage Res::LoadImage(int id)
{
    RegisterResources();
    const QString path = BitmapPath(id);
    if (path.isEmpty())
        return QImage();
    return QImage(path);
}

QImage Res::LoadImage(int id, int scale)
{
    if (scale == 1)
        return LoadImage(id);
    RegisterResources();
    if (scale != 2 || (id != IDB_LOGO && id != IDB_LOGOMASK))
        return QImage();
    QString path = BitmapPath(id);
    path.insert(path.lastIndexOf(QLatin1Char('.')), QStringLiteral("@2x"));
    // Qt takes a file named "@2x" for a picture of twice the density; here it is pixels,
    // composed pixel by pixel.
    QImage image(path);
    image.setDevicePixelRatio(1);
    return image;
}

QPixmap Res::LoadBitmap(int id)
{
    const QImage image = LoadImage(id);
    if (image.isNull())
        return QPixmap();
    return QPixmap::fromImage(image);
}

QIcon Res::AppIcon()
{
    RegisterResources();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral(":/varnodel/icons/varnodel-%1.png").arg(size);
        if (QFile::exists(path))
            icon.addFile(path, QSize(size, size));
    }
    return icon;
}

QList<QIcon> Res::LoadImageList(int id, int cx, QColor transparent)
{
    QList<QIcon> icons;
    const QImage strip = LoadImage(id);
    if (strip.isNull() || cx <= 0)
        return icons;
    const QImage argb = strip.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = transparent.rgb() & 0x00FFFFFFu;
    for (int left = 0; left + cx <= argb.width(); left += cx) {
        QImage cell = argb.copy(left, 0, cx, argb.height());
        for (int y = 0; y < cell.height(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(cell.scanLine(y));
            for (int x = 0; x < cell.width(); ++x)
                if ((line[x] & 0x00FFFFFFu) == key)
                    line[x] = 0;
        }
        icons.append(QIcon(QPixmap::fromImage(cell)));
    }
    return icons;
}
