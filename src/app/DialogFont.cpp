#include "app/DialogFont.h"

#include "controls/DialogUnits.h"

#include <QWidget>

QFont DialogFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

QRect DialogRect(const QWidget& dialog, int x, int y, int cx, int cy)
{
    return DluToPixels(QRect(x, y, cx, cy), dialog.font());
}
