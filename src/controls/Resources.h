#pragma once
// The program's resources, compiled in with the Qt resource system.

#include <QIcon>
#include <QImage>
#include <QList>
#include <QPixmap>

namespace Res
{
constexpr int IDB_TREEIMAGES = 133;  // 65 x 13, five images 13 pixels wide, white transparent
constexpr int IDB_BACKGROUND = 155;  // 100 x 100 dialog background tile
constexpr int IDB_LOGO = 156;        // 150 x 46 logo on a band
constexpr int IDB_LOGOMASK = 157;    // its monochrome mask
constexpr int IDI_APP = 128;         // application icon
constexpr int IDS_ABOUTBOX = 101;    // "&About Varnodel "

// The bitmap with that id, or a null pixmap.
QPixmap LoadBitmap(int id);
// The same bitmap as an image (for pixel work without a window system), or a null image.
QImage LoadImage(int id);
// The bitmap drawn at scale times its size (2: the logo and its mask), or a null image
// where there is none at that scale.
QImage LoadImage(int id, int scale);
QIcon AppIcon();

// Cuts the bitmap with that id into images cx pixels wide, left to right, and makes
// every pixel of the colour transparent: the tree's image list is
// LoadImageList(IDB_TREEIMAGES, 13, Qt::white). Empty when the bitmap cannot be loaded.
QList<QIcon> LoadImageList(int id, int cx, QColor transparent);
}  // namespace Res
