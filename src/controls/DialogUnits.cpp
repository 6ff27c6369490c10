#include "controls/DialogUnits.h"

#include <QFontMetrics>

QSize DialogBaseUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    // The average width over both alphabets, rounded to the nearest pixel.
    const int alphabet =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int width = (alphabet / 26 + 1) / 2;
    return QSize(qMax(1, width), qMax(1, metrics.height()));
}

int DluScale(int v, int base, int divisor)
{
    const long long n = static_cast<long long>(v) * base;
    const long long half = divisor / 2;
    return static_cast<int>(n >= 0 ? (n + half) / divisor : -((-n + half) / divisor));
}

QRect DluToPixels(const QRect& dlu, const QFont& font)
{
    const QSize base = DialogBaseUnits(font);
    return QRect(DluScale(dlu.x(), base.width(), 4), DluScale(dlu.y(), base.height(), 8),
                 DluScale(dlu.width(), base.width(), 4), DluScale(dlu.height(), base.height(), 8));
}

QSize DluToPixels(const QSize& dlu, const QFont& font)
{
    const QSize base = DialogBaseUnits(font);
    return QSize(DluScale(dlu.width(), base.width(), 4), DluScale(dlu.height(), base.height(), 8));
}
