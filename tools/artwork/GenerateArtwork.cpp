// Draws the program's artwork and writes it as PNG files into the folder given on the
// command line (the repository's res/ folder):
//
//   treeimages.png   65 x 13  the tree's five 13-pixel images, white transparent
//   background.png  100 x 100 the dialogs' seamless background tile, 256 colours
//   logo.png        150 x 46  "Varnodel" on a film band, 256 colours
//   logomask.png    150 x 46  its monochrome mask: white over band and lettering
//   logo@2x.png, logomask@2x.png  the same at 300 x 92, for screens of twice the density
//   icons/varnodel-N.png      the application icon at N x N
//
// Everything is computed: the noise from a fixed seed, the lettering from a font on the
// machine that runs this. Rerun only to change the artwork, then commit the files.

#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace
{
// ---------------------------------------------------------------------------------
// Palette reduction
// ---------------------------------------------------------------------------------

struct Box
{
    std::vector<QRgb> pixels;
};

int Channel(QRgb c, int ch)
{
    return ch == 0 ? qRed(c) : ch == 1 ? qGreen(c) : qBlue(c);
}

// Median cut: splits the colour box with the widest channel range until there are
// `colours` boxes, and takes each box's mean as a palette entry.
QList<QRgb> MedianCut(const QImage& image, int colours)
{
    std::vector<Box> boxes(1);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            boxes[0].pixels.push_back(image.pixel(x, y) | 0xFF000000u);

    while (static_cast<int>(boxes.size()) < colours) {
        int best = -1, bestRange = 0, bestChannel = 0;
        for (int i = 0; i < static_cast<int>(boxes.size()); ++i) {
            for (int ch = 0; ch < 3; ++ch) {
                int lo = 255, hi = 0;
                for (QRgb c : boxes[i].pixels) {
                    lo = std::min(lo, Channel(c, ch));
                    hi = std::max(hi, Channel(c, ch));
                }
                if (hi - lo > bestRange) {
                    bestRange = hi - lo;
                    best = i;
                    bestChannel = ch;
                }
            }
        }
        if (best < 0)
            break;  // every box holds a single colour
        auto& px = boxes[best].pixels;
        std::sort(px.begin(), px.end(),
                  [&](QRgb a, QRgb b) { return Channel(a, bestChannel) < Channel(b, bestChannel); });
        Box upper;
        upper.pixels.assign(px.begin() + px.size() / 2, px.end());
        px.resize(px.size() / 2);
        boxes.push_back(std::move(upper));
    }

    QList<QRgb> table;
    for (const Box& box : boxes) {
        if (box.pixels.empty())
            continue;
        long r = 0, g = 0, b = 0;
        for (QRgb c : box.pixels) {
            r += qRed(c);
            g += qGreen(c);
            b += qBlue(c);
        }
        const long n = static_cast<long>(box.pixels.size());
        table.append(qRgb(int(r / n), int(g / n), int(b / n)));
    }
    return table;
}

QImage To256Colours(const QImage& source)
{
    const QImage rgb = source.convertToFormat(QImage::Format_RGB32);
    const QList<QRgb> table = MedianCut(rgb, 256);
    QImage indexed(rgb.size(), QImage::Format_Indexed8);
    indexed.setColorTable(table);
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = rgb.pixel(x, y);
            int best = 0;
            long bestDistance = -1;
            for (int i = 0; i < table.size(); ++i) {
                const long dr = qRed(c) - qRed(table[i]);
                const long dg = qGreen(c) - qGreen(table[i]);
                const long db = qBlue(c) - qBlue(table[i]);
                const long d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
                if (bestDistance < 0 || d < bestDistance) {
                    bestDistance = d;
                    best = i;
                }
            }
            indexed.setPixel(x, y, static_cast<uint>(best));
        }
    }
    return indexed;
}

// ---------------------------------------------------------------------------------
// Seamless noise
// ---------------------------------------------------------------------------------

// A small fixed generator, so that every run draws the same tile.
class Random
{
public:
    explicit Random(uint32_t seed) : m_state(seed) {}
    double Next()  // [0, 1)
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return (m_state & 0xFFFFFF) / double(0x1000000);
    }

private:
    uint32_t m_state;
};

// Value noise on a lattice of period x period cells laid over size x size pixels; the
// lattice wraps, so the noise continues seamlessly across the tile's edges.
class PeriodicNoise
{
public:
    PeriodicNoise(int period, int size, Random& random)
        : m_period(period), m_size(size), m_values(static_cast<size_t>(period) * period)
    {
        for (double& v : m_values)
            v = random.Next();
    }
    double At(double x, double y) const
    {
        const double fx = x * m_period / m_size;
        const double fy = y * m_period / m_size;
        const int ix = static_cast<int>(std::floor(fx));
        const int iy = static_cast<int>(std::floor(fy));
        const double tx = Smooth(fx - ix);
        const double ty = Smooth(fy - iy);
        const double a = Value(ix, iy), b = Value(ix + 1, iy);
        const double c = Value(ix, iy + 1), d = Value(ix + 1, iy + 1);
        return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
    }

private:
    static double Smooth(double t) { return t * t * (3 - 2 * t); }
    double Value(int i, int j) const
    {
        i = ((i % m_period) + m_period) % m_period;
        j = ((j % m_period) + m_period) % m_period;
        return m_values[static_cast<size_t>(j) * m_period + i];
    }
    int m_period;
    int m_size;
    std::vector<double> m_values;
};

QRgb Mix(QRgb a, QRgb b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return qRgb(int(std::lround(qRed(a) + (qRed(b) - qRed(a)) * t)),
                int(std::lround(qGreen(a) + (qGreen(b) - qGreen(a)) * t)),
                int(std::lround(qBlue(a) + (qBlue(b) - qBlue(a)) * t)));
}

// ---------------------------------------------------------------------------------
// The pieces
// ---------------------------------------------------------------------------------

// A soft linen of warm rose-grey: clouds of seamless noise, with threads running across
// and down, light enough for black text on it to read well.
QImage DrawBackground()
{
    constexpr int kSize = 100;
    Random random(0x5EED1234u);
    const PeriodicNoise coarse(4, kSize, random);
    const PeriodicNoise medium(10, kSize, random);
    const PeriodicNoise fine(25, kSize, random);
    const PeriodicNoise grain(50, kSize, random);
    std::vector<double> rows(kSize), columns(kSize);
    for (double& v : rows)
        v = random.Next();
    for (double& v : columns)
        v = random.Next();

    const QRgb dark = qRgb(203, 184, 182);
    const QRgb pale = qRgb(246, 239, 233);
    QImage image(kSize, kSize, QImage::Format_RGB32);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            double v = 0.50 * coarse.At(x, y) + 0.25 * medium.At(x, y) + 0.15 * fine.At(x, y)
                + 0.10 * grain.At(x, y);
            // Threads: every row and column a little lighter or darker than its neighbours,
            // stronger where the weave crosses.
            const double weave = ((x + y) % 2 == 0 ? rows[y] : columns[x]) - 0.5;
            v = 0.5 + (v - 0.5) * 1.6 + weave * 0.16;
            image.setPixel(x, y, Mix(dark, pale, 0.30 + v * 0.55));
        }
    }
    return To256Colours(image);
}

QFont LetteringFont(int pixelSize)
{
    // A bold geometric face where the machine has one; any bold sans serif otherwise.
    QFont font;
    for (const char* family : {"URW Gothic", "DejaVu Sans", "Nimbus Sans"}) {
        if (QFontDatabase::families().contains(QString::fromLatin1(family))) {
            font = QFont(QString::fromLatin1(family));
            break;
        }
    }
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::DemiBold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// A film band across the picture, perforated along both edges, and the name in pale
// lettering with a dark outline that reaches beyond the band. scale 2 draws the same
// picture at twice the size, for screens of twice the density.
void DrawLogo(QImage& picture, QImage& mask, int scale = 1)
{
    constexpr int kWidth = 150;
    constexpr int kHeight = 46;
    const QRectF band(0, 12, kWidth, 22);

    // The band, its ends cut at a slant.
    QPainterPath bandPath;
    bandPath.moveTo(band.left() + 7, band.top());
    bandPath.lineTo(band.right(), band.top());
    bandPath.lineTo(band.right() - 7, band.bottom());
    bandPath.lineTo(band.left(), band.bottom());
    bandPath.closeSubpath();

    // The lettering, as large as fits.
    QPainterPath text;
    for (int size = 40; size > 10; --size) {
        QPainterPath attempt;
        attempt.addText(0, 0, LetteringFont(size), QStringLiteral("Varnodel"));
        const QRectF bounds = attempt.boundingRect();
        if (bounds.width() <= kWidth - 20 && bounds.height() <= kHeight - 8) {
            text = attempt.translated((kWidth - bounds.width()) / 2 - bounds.left(),
                                      (kHeight - bounds.height()) / 2 - bounds.top());
            break;
        }
    }
    QPainterPathStroker stroker;
    stroker.setWidth(4.0);
    stroker.setJoinStyle(Qt::RoundJoin);
    stroker.setCapStyle(Qt::RoundCap);
    const QPainterPath outline = stroker.createStroke(text).united(text);

    // Mask: white over the band and the lettering with its outline. Drawn without
    // antialiasing: a pixel shows the picture or the background, nothing in between.
    mask = QImage(kWidth * scale, kHeight * scale, QImage::Format_RGB32);
    mask.fill(Qt::black);
    {
        QPainter painter(&mask);
        painter.scale(scale, scale);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawPath(bandPath);
        painter.drawPath(outline);
    }

    QImage art(kWidth * scale, kHeight * scale, QImage::Format_RGB32);
    art.fill(qRgb(60, 8, 24));
    {
        QPainter painter(&art);
        painter.scale(scale, scale);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);

        QLinearGradient wine(0, band.top(), 0, band.bottom());
        wine.setColorAt(0.0, QColor(178, 52, 82));
        wine.setColorAt(0.45, QColor(136, 28, 56));
        wine.setColorAt(1.0, QColor(92, 12, 36));
        painter.setBrush(wine);
        painter.drawPath(bandPath);

        // Perforations along both edges of the film.
        painter.setBrush(QColor(232, 196, 198));
        for (double x = 9; x < kWidth - 8; x += 8) {
            painter.drawRoundedRect(QRectF(x, band.top() + 2, 4, 3), 1, 1);
            painter.drawRoundedRect(QRectF(x - 6, band.bottom() - 5, 4, 3), 1, 1);
        }
        // A lit upper edge and a dark lower edge give the band some body.
        painter.setPen(QPen(QColor(214, 120, 138), 1));
        painter.drawLine(QPointF(band.left() + 7.5, band.top() + 0.5), QPointF(band.right() - 0.5, band.top() + 0.5));
        painter.setPen(QPen(QColor(58, 6, 22), 1));
        painter.drawLine(QPointF(band.left() + 0.5, band.bottom() - 0.5), QPointF(band.right() - 7.5, band.bottom() - 0.5));
        painter.setPen(Qt::NoPen);

        // Lettering: dark outline, a soft shadow inside it, then the pale letters.
        painter.setBrush(QColor(52, 6, 20));
        painter.drawPath(outline);
        painter.setBrush(QColor(110, 20, 44));
        painter.drawPath(text.translated(1.0, 1.0));
        QLinearGradient pale(0, text.boundingRect().top(), 0, text.boundingRect().bottom());
        pale.setColorAt(0.0, QColor(255, 252, 248));
        pale.setColorAt(0.55, QColor(250, 232, 228));
        pale.setColorAt(1.0, QColor(236, 196, 200));
        painter.setBrush(pale);
        painter.drawPath(text);
    }
    // Outside the mask the picture is black, so that it can also be drawn without one.
    for (int y = 0; y < art.height(); ++y)
        for (int x = 0; x < art.width(); ++x)
            if (qRed(mask.pixel(x, y)) < 128)
                art.setPixel(x, y, qRgb(0, 0, 0));

    picture = To256Colours(art);
    QImage mono = mask.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    mask = mono;
}

// The tree's images, 13 x 13 each: plus box, minus box, filled dot, blank, red
// exclamation mark. White is the transparent colour, so no image uses pure white.
QImage DrawTreeImages()
{
    QImage image(65, 13, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QRgb boxEdge = qRgb(142, 118, 122);
    const QRgb boxFace = qRgb(252, 244, 244);
    const QRgb sign = qRgb(96, 14, 38);
    const QRgb dot = qRgb(150, 36, 66);
    const QRgb dotLight = qRgb(214, 120, 138);
    const QRgb dotDark = qRgb(92, 12, 36);
    const QRgb red = qRgb(214, 24, 24);
    const QRgb redDark = qRgb(138, 0, 0);

    auto box = [&](int left, bool plus) {
        for (int y = 2; y <= 10; ++y)
            for (int x = 2; x <= 10; ++x) {
                const bool edge = x == 2 || x == 10 || y == 2 || y == 10;
                const bool corner = (x == 2 || x == 10) && (y == 2 || y == 10);
                if (!corner)
                    image.setPixel(left + x, y, edge ? boxEdge : boxFace);
            }
        for (int x = 4; x <= 8; ++x)
            image.setPixel(left + x, 6, sign);
        if (plus)
            for (int y = 4; y <= 8; ++y)
                image.setPixel(left + 6, y, sign);
    };
    box(0, true);
    box(13, false);

    // Filled dot: a disc of radius 4 round the cell's centre, lit at the top left.
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 13; ++x) {
            const double dx = x - 6, dy = y - 6;
            const double d = std::sqrt(dx * dx + dy * dy);
            if (d <= 4.2) {
                QRgb c = dot;
                if (d > 3.4)
                    c = dotDark;
                else if (dx + dy < -3.0)
                    c = dotLight;
                image.setPixel(26 + x, y, c);
            }
        }

    // Blank: the fourth cell stays white.

    // Exclamation mark: a tapering bar and a dot, outlined in dark red.
    const int ex = 52;
    const char* rowsOfMark[13] = {
        "....ooooo....", "....oRRRo....", "....oRRRo....", "....oRRRo....", "....oRRRo....",
        ".....oRo.....", ".....oRo.....", ".....oRo.....", "......o......", ".............",
        ".....ooo.....", ".....oRo.....", ".....ooo.....",
    };
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 13; ++x) {
            const char c = rowsOfMark[y][x];
            if (c == 'R')
                image.setPixel(ex + x, y, red);
            else if (c == 'o')
                image.setPixel(ex + x, y, redDark);
        }
    return image;
}

// The application icon: a rounded square in the band's wine, the film band across it,
// and a large pale V over the band.
QImage DrawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    const double margin = size <= 16 ? 0.5 : s * 0.06;
    const QRectF square(margin, margin, s - 2 * margin, s - 2 * margin);

    QLinearGradient wine(0, square.top(), 0, square.bottom());
    wine.setColorAt(0.0, QColor(184, 58, 88));
    wine.setColorAt(1.0, QColor(88, 12, 34));
    painter.setPen(size <= 24 ? Qt::NoPen : QPen(QColor(60, 6, 22), s / 64.0));
    painter.setBrush(wine);
    painter.drawRoundedRect(square, s * 0.2, s * 0.2);

    // The band, perforated where there is room.
    const QRectF band(square.left(), s * 0.40, square.width(), s * 0.26);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(240, 210, 210));
    painter.drawRect(band);
    if (size >= 32) {
        painter.setBrush(QColor(120, 22, 48));
        const double hole = s / 24.0;
        for (double x = band.left() + hole; x + hole < band.right(); x += hole * 2.5) {
            painter.drawRect(QRectF(x, band.top() + hole * 0.6, hole * 1.2, hole));
            painter.drawRect(QRectF(x, band.bottom() - hole * 1.6, hole * 1.2, hole));
        }
    }

    // The V, with a dark outline so that it stands out from the band.
    QPainterPath v;
    const double top = s * 0.16, bottom = s * 0.86;
    const double half = s * 0.34, stem = s * (size <= 16 ? 0.15 : 0.12);
    v.moveTo(s / 2 - half, top);
    v.lineTo(s / 2 - half + stem * 1.9, top);
    v.lineTo(s / 2, bottom - stem * 2.6);
    v.lineTo(s / 2 + half - stem * 1.9, top);
    v.lineTo(s / 2 + half, top);
    v.lineTo(s / 2 + stem * 0.9, bottom);
    v.lineTo(s / 2 - stem * 0.9, bottom);
    v.closeSubpath();
    painter.setPen(QPen(QColor(52, 6, 20), std::max(1.0, s / 28.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QLinearGradient pale(0, top, 0, bottom);
    pale.setColorAt(0.0, QColor(255, 252, 248));
    pale.setColorAt(1.0, QColor(240, 206, 210));
    painter.setBrush(pale);
    painter.drawPath(v);
    painter.end();
    return image;
}
}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: varnodel-artwork RES_FOLDER\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("icons"))) {
        err << "cannot create " << out.absoluteFilePath(QStringLiteral("icons")) << "\n";
        return 1;
    }

    bool ok = DrawTreeImages().save(out.filePath(QStringLiteral("treeimages.png")));
    ok = DrawBackground().save(out.filePath(QStringLiteral("background.png"))) && ok;
    QImage logo, mask;
    DrawLogo(logo, mask);
    ok = logo.save(out.filePath(QStringLiteral("logo.png"))) && ok;
    ok = mask.save(out.filePath(QStringLiteral("logomask.png"))) && ok;
    DrawLogo(logo, mask, 2);
    ok = logo.save(out.filePath(QStringLiteral("logo@2x.png"))) && ok;
    ok = mask.save(out.filePath(QStringLiteral("logomask@2x.png"))) && ok;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        ok = DrawIcon(size).save(out.filePath(QStringLiteral("icons/varnodel-%1.png").arg(size))) && ok;
    if (!ok) {
        err << "cannot write the artwork\n";
        return 1;
    }
    return 0;
}
