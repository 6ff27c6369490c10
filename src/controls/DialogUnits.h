#pragma once
// Dialog units: the dialogs are laid out in units of the dialog font, a quarter of its
// average character width across and an eighth of its height down.

#include <QFont>
#include <QRect>
#include <QSize>

// Average character width and character height of font, in pixels.
QSize DialogBaseUnits(const QFont& font);

// v * base / divisor, rounded half away from zero.
int DluScale(int v, int base, int divisor);

// A template rectangle (x, y, width, height in dialog units) in pixels; position and
// size are converted separately, as the dialog manager does.
QRect DluToPixels(const QRect& dlu, const QFont& font);
QSize DluToPixels(const QSize& dlu, const QFont& font);
