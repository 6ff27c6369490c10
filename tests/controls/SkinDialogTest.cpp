// The tiled dialog background, its use by other controls, the transparent static
// controls, and the dialog-unit conversion.

#include "TestSupport.h"

#include "controls/CSkinDialog.h"
#include "controls/DialogUnits.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace TestSupport;

class SkinDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void artworkIsThere();
    void tilesFromTopLeftAndCutAtEdges();
    void bitmapLargerThanDialog();
    void backgroundOfAnyRectangle();
    void colourAndPrecedence();
    void withoutBackgroundNothingIsPainted();
    void staticControlsShowTheTiles();
    void parentBackgroundThroughContainers();
    void dialogUnits();
};

void SkinDialogTest::artworkIsThere()
{
    QCOMPARE(Res::LoadImage(Res::IDB_TREEIMAGES).size(), QSize(65, 13));
    QCOMPARE(Res::LoadImage(Res::IDB_BACKGROUND).size(), QSize(100, 100));
    QCOMPARE(Res::LoadImage(Res::IDB_LOGO).size(), QSize(150, 46));
    QCOMPARE(Res::LoadImage(Res::IDB_LOGOMASK).size(), QSize(150, 46));
    QVERIFY(Res::LoadBitmap(42).isNull());
    QVERIFY(!Res::AppIcon().isNull());
    QVERIFY(Res::AppIcon().availableSizes().contains(QSize(32, 32)));

    // The tile has at most 256 colours, and the mask only black and white.
    QVERIFY(Res::LoadImage(Res::IDB_BACKGROUND).colorCount() <= 256);
    const QImage mask = Res::LoadImage(Res::IDB_LOGOMASK).convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x) {
            const QRgb c = Rgb(mask, x, y);
            QVERIFY2(c == 0 || c == 0xFFFFFF, qPrintable(QStringLiteral("mask pixel %1,%2").arg(x).arg(y)));
        }

    // The tree images: five of them, white turned transparent, the blank one empty.
    const QList<QIcon> icons = Res::LoadImageList(Res::IDB_TREEIMAGES, 13, Qt::white);
    QCOMPARE(icons.size(), 5);
    const QImage plus = icons[0].pixmap(13, 13).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(qAlpha(plus.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(plus.pixel(6, 6)), 255);
    const QImage blank = icons[3].pixmap(13, 13).toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 13; ++x)
            QCOMPARE(qAlpha(blank.pixel(x, y)), 0);
    // The mark is red.
    const QImage mark = icons[4].pixmap(13, 13).toImage().convertToFormat(QImage::Format_ARGB32);
    QVERIFY(qRed(mark.pixel(6, 2)) > 150 && qGreen(mark.pixel(6, 2)) < 80);
}

void SkinDialogTest::tilesFromTopLeftAndCutAtEdges()
{
    CSkinDialog dialog;
    dialog.resize(250, 230);
    dialog.SetBackgroundBitmap(155);
    const QImage shot = Grab(dialog);
    QCOMPARE(shot.size(), QSize(250, 230));
    // Whole tiles from (0, 0), and the last column and row cut by the edge.
    const QPoint probes[] = {{0, 0}, {99, 99}, {100, 0}, {0, 100}, {101, 57}, {150, 120},
                             {200, 200}, {249, 229}, {217, 3}, {3, 217}};
    for (const QPoint& p : probes)
        QCOMPARE(Rgb(shot, p.x(), p.y()), TileAt(p.x(), p.y()));
    // The whole picture, not just the probes.
    for (int y = 0; y < shot.height(); y += 7)
        for (int x = 0; x < shot.width(); x += 3)
            QCOMPARE(Rgb(shot, x, y), TileAt(x, y));
}

void SkinDialogTest::bitmapLargerThanDialog()
{
    CSkinDialog dialog;
    dialog.resize(60, 40);
    dialog.SetBackgroundBitmap(155);
    const QImage shot = Grab(dialog);
    for (int y = 0; y < 40; y += 3)
        for (int x = 0; x < 60; x += 3)
            QCOMPARE(Rgb(shot, x, y), TileAt(x, y));
    QCOMPARE(Rgb(shot, 59, 39), TileAt(59, 39));
}

void SkinDialogTest::backgroundOfAnyRectangle()
{
    CSkinDialog dialog;
    dialog.resize(300, 200);
    dialog.SetBackgroundBitmap(155);

    // The tiles as seen from (130, 70), not from (0, 0).
    QImage piece(40, 50, QImage::Format_RGB32);
    piece.fill(Qt::green);
    {
        QPainter painter(&piece);
        QVERIFY(dialog.PaintBackground(painter, QRect(130, 70, 40, 50)));
    }
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 40; ++x)
            QCOMPARE(Rgb(piece, x, y), TileAt(130 + x, 70 + y));

    // A rectangle reaching beyond the client area gets the tiles only where the dialog is.
    piece.fill(Qt::green);
    {
        QPainter painter(&piece);
        QVERIFY(dialog.PaintBackground(painter, QRect(280, 180, 40, 50)));
    }
    QCOMPARE(Rgb(piece, 0, 0), TileAt(280, 180));
    QCOMPARE(Rgb(piece, 19, 19), TileAt(299, 199));
    QCOMPARE(Rgb(piece, 20, 0), Rgb(QColor(Qt::green)));
    QCOMPARE(Rgb(piece, 0, 20), Rgb(QColor(Qt::green)));
}

void SkinDialogTest::colourAndPrecedence()
{
    CSkinDialog dialog;
    dialog.resize(120, 80);
    dialog.SetBackgroundColor(QColor(12, 34, 56));
    QImage shot = Grab(dialog);
    QCOMPARE(Rgb(shot, 0, 0), qRgb(12, 34, 56) & 0xFFFFFFu);
    QCOMPARE(Rgb(shot, 119, 79), qRgb(12, 34, 56) & 0xFFFFFFu);

    // A bitmap that cannot be loaded leaves the colour in place.
    dialog.SetBackgroundBitmap(4242);
    shot = Grab(dialog);
    QCOMPARE(Rgb(shot, 60, 40), qRgb(12, 34, 56) & 0xFFFFFFu);

    // The bitmap wins over the colour.
    dialog.SetBackgroundBitmap(155);
    shot = Grab(dialog);
    QCOMPARE(Rgb(shot, 60, 40), TileAt(60, 40));
    QCOMPARE(Rgb(shot, 110, 5), TileAt(110, 5));
}

void SkinDialogTest::withoutBackgroundNothingIsPainted()
{
    CSkinDialog dialog;
    dialog.resize(50, 50);
    QImage piece(10, 10, QImage::Format_RGB32);
    piece.fill(Qt::green);
    {
        QPainter painter(&piece);
        QVERIFY(!dialog.PaintBackground(painter, QRect(0, 0, 10, 10)));
    }
    QCOMPARE(Rgb(piece, 5, 5), Rgb(QColor(Qt::green)));
    // The platform's plain dialog background shows.
    const QImage shot = Grab(dialog);
    QCOMPARE(Rgb(shot, 25, 25), Rgb(dialog.palette().color(QPalette::Window)));
}

void SkinDialogTest::staticControlsShowTheTiles()
{
    CSkinDialog dialog;
    dialog.resize(320, 240);
    dialog.SetBackgroundBitmap(155);

    // Each of them insists on a solid background of its own; the dialog overrules that.
    auto opaque = [](QWidget* w) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, Qt::green);
        w->setPalette(pal);
        w->setAutoFillBackground(true);
    };
    auto* label = new QLabel(QStringLiteral("File name"), &dialog);
    label->setGeometry(10, 10, 120, 20);
    opaque(label);
    auto* check = new QCheckBox(QStringLiteral("Save start directory"), &dialog);
    check->setGeometry(10, 40, 200, 20);
    opaque(check);
    auto* group = new QGroupBox(&dialog);
    group->setGeometry(10, 70, 300, 120);
    opaque(group);
    auto* radio = new QRadioButton(QStringLiteral("Analyze"), group);
    radio->setGeometry(10, 20, 150, 20);
    opaque(radio);

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    // A label the dialog makes after it is on screen gets the same treatment, also inside
    // a container that is made first and filled later.
    auto* late = new QLabel(QStringLiteral("packets"), &dialog);
    late->setGeometry(10, 200, 100, 20);
    opaque(late);
    late->show();
    auto* box = new QWidget(&dialog);
    box->setGeometry(200, 10, 100, 30);
    box->show();
    auto* nested = new QLabel(QStringLiteral("x"), box);
    nested->setGeometry(0, 0, 100, 30);
    opaque(nested);
    nested->show();
    QApplication::processEvents();

    const QImage shot = Grab(dialog);
    // Right-hand ends of the labels, clear of their text, show the dialog's tiles.
    const QPoint probes[] = {{128, 12}, {128, 28}, {205, 42}, {205, 58}, {150, 95},
                             {300, 180}, {160, 130}, {108, 218}, {296, 36}};
    for (const QPoint& p : probes)
        QVERIFY2(Rgb(shot, p.x(), p.y()) == TileAt(p.x(), p.y()),
                 qPrintable(QStringLiteral("at %1,%2").arg(p.x()).arg(p.y())));
    for (QWidget* w : std::initializer_list<QWidget*>{label, check, group, radio, late, nested})
        QVERIFY(!w->autoFillBackground());
}

void SkinDialogTest::parentBackgroundThroughContainers()
{
    CSkinDialog dialog;
    dialog.resize(300, 200);
    dialog.SetBackgroundBitmap(155);
    auto* container = new QWidget(&dialog);
    container->setGeometry(70, 30, 200, 150);
    auto* inner = new QWidget(container);
    inner->setGeometry(40, 50, 30, 20);

    QImage piece(30, 20, QImage::Format_RGB32);
    {
        QPainter painter(&piece);
        PaintParentBackground(inner, painter);
    }
    QCOMPARE(Rgb(piece, 0, 0), TileAt(110, 80));
    QCOMPARE(Rgb(piece, 29, 19), TileAt(139, 99));

    // An opaque container hides the dialog: its own colour is the background.
    QPalette pal = container->palette();
    pal.setColor(QPalette::Window, QColor(1, 2, 3));
    container->setPalette(pal);
    container->setAutoFillBackground(true);
    {
        QPainter painter(&piece);
        PaintParentBackground(inner, painter);
    }
    QCOMPARE(Rgb(piece, 10, 10), qRgb(1, 2, 3) & 0xFFFFFFu);
}

void SkinDialogTest::dialogUnits()
{
    // Rounded half away from zero, as the dialog manager does.
    QCOMPARE(DluScale(3, 6, 4), 5);    // 4.5
    QCOMPARE(DluScale(-3, 6, 4), -5);
    QCOMPARE(DluScale(5, 13, 8), 8);   // 8.125
    QCOMPARE(DluScale(0, 13, 8), 0);

    // Four units across are one average character, eight down one line.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    const QSize base = DialogBaseUnits(font);
    QVERIFY(base.width() > 2 && base.width() < 11);
    QCOMPARE(base.height(), QFontMetrics(font).height());
    QCOMPARE(DluToPixels(QRect(4, 8, 40, 16), font),
             QRect(base.width(), base.height(), 10 * base.width(), 2 * base.height()));
}

QTEST_MAIN(SkinDialogTest)
#include "SkinDialogTest.moc"
