#pragma once
// The font the dialogs are laid out with. The templates ask for "MS Sans Serif" 8 pt;
// where that face is missing, the platform's sans-serif face stands in at the same size.

#include <QFont>
#include <QRect>

QFont DialogFont();

// A template rectangle in dialog units, in pixels for the widget's font.
QRect DialogRect(const QWidget& dialog, int x, int y, int cx, int cy);
