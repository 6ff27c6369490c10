#pragma once
// The program's resources, compiled in with the Qt resource system.

#include <QIcon>
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
QIcon AppIcon();
}  // namespace Res
