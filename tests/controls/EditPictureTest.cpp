// The hover-framed edit field and the masked logo picture.

#include "TestSupport.h"

#include "controls/CHoverEdit.h"
#include "controls/CMaskedPicture.h"
#include "controls/CQuimbelButton.h"
#include "controls/CSkinDialog.h"
#include "controls/Raster.h"

#include <random>

using namespace TestSupport;

namespace
{
const QRgb kGrey = qRgb(110, 110, 110) & 0xFFFFFFu;
const QRgb kBlack = 0;

// Both rings of the frame, on all four sides, in one colour.
void CheckFrame(const QImage& image, QRgb colour)
{
    const int w = image.width(), h = image.height();
    for (int ring = 0; ring < 2; ++ring) {
        QCOMPARE(Rgb(image, ring, h / 2), colour);
        QCOMPARE(Rgb(image, w - 1 - ring, h / 2), colour);
        QCOMPARE(Rgb(image, w / 2, ring), colour);
        QCOMPARE(Rgb(image, w / 2, h - 1 - ring), colour);
        QCOMPARE(Rgb(image, ring, ring), colour);
        QCOMPARE(Rgb(image, w - 1 - ring, h - 1 - ring), colour);
    }
}

struct Scene
{
    CSkinDialog dialog;
    CHoverEdit* edit;
    CQuimbelButton* other;

    Scene()
    {
        dialog.resize(300, 200);
        dialog.SetBackgroundBitmap(155);
        edit = new CHoverEdit(&dialog);
        edit->setGeometry(20, 20, 160, 22);
        other = new CQuimbelButton(QStringLiteral("..."), &dialog);
        other->setGeometry(200, 20, 30, 22);
        other->m_nFrameStyle = 1;
        other->m_bTransparent = true;
    }
    bool Show()
    {
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        return QTest::qWaitForWindowExposed(&dialog) && QTest::qWaitForWindowActive(&dialog);
    }
};
}  // namespace

class EditPictureTest : public QObject
{
    Q_OBJECT
private slots:
    void frameFollowsThePointer();
    void focusKeepsTheFrameBlack();
    void fillColourPaintsTheBackgroundOnly();
    void pictureThroughItsMask();
    void pictureWithoutMask();
    void pictureForATwiceDenseScreen();
    void noPictureDrawsNothing();
    void rasterOperationsAreBitwise();
};

void EditPictureTest::frameFollowsThePointer()
{
    Scene scene;
    QVERIFY(scene.Show());
    scene.other->setFocus();  // the edit is not focused
    QApplication::processEvents();
    CHoverEdit* e = scene.edit;
    Mouse mouse(&scene.dialog);

    CheckFrame(Grab(*e), kGrey);
    mouse.Move(e, QPoint(50, 10));
    QVERIFY(e->m_bHot);
    QCOMPARE(QWidget::mouseGrabber(), e);
    CheckFrame(Grab(*e), kBlack);

    mouse.Move(e, QPoint(100, 12));
    QCOMPARE(QWidget::mouseGrabber(), e);

    mouse.Move(e, QPoint(100, 40));
    QVERIFY(!e->m_bHot);
    QVERIFY(QWidget::mouseGrabber() == nullptr);
    CheckFrame(Grab(*e), kGrey);
}

void EditPictureTest::focusKeepsTheFrameBlack()
{
    Scene scene;
    QVERIFY(scene.Show());
    CHoverEdit* e = scene.edit;
    Mouse mouse(&scene.dialog);

    // A click gives the focus; the frame stays black whatever the pointer does, and the
    // edit does not keep the mouse.
    mouse.Move(e, QPoint(50, 10));
    mouse.Press(e, QPoint(50, 10));
    mouse.Release(e, QPoint(50, 10));
    QVERIFY(e->hasFocus());
    QVERIFY(e->m_bFocused && e->m_bHot);
    QVERIFY(QWidget::mouseGrabber() == nullptr);
    mouse.Move(e, QPoint(50, 60));
    mouse.Move(e, QPoint(60, 10));
    mouse.Move(e, QPoint(60, 70));
    QVERIFY(e->m_bHot);
    QVERIFY(QWidget::mouseGrabber() == nullptr);
    CheckFrame(Grab(*e), kBlack);

    // Losing the focus turns it grey, even with the pointer over the edit.
    mouse.Move(e, QPoint(60, 10));
    scene.other->setFocus();
    QApplication::processEvents();
    QVERIFY(!e->m_bFocused && !e->m_bHot);
    CheckFrame(Grab(*e), kGrey);
}

void EditPictureTest::fillColourPaintsTheBackgroundOnly()
{
    Scene scene;
    CHoverEdit* e = scene.edit;
    CHoverEdit plain(&scene.dialog);
    plain.setGeometry(20, 60, 160, 22);
    const QColor text = plain.palette().color(QPalette::Text);
    const QRgb base = Rgb(plain.palette().color(QPalette::Base));

    QVERIFY(scene.Show());
    scene.other->setFocus();
    QApplication::processEvents();
    QCOMPARE(Rgb(Grab(plain), 3, 3), base);

    e->SetFillColor(QColor(240, 210, 210));
    QImage image = Grab(*e);
    QCOMPARE(Rgb(image, 3, 3), qRgb(240, 210, 210) & 0xFFFFFFu);
    QCOMPARE(Rgb(image, 150, 18), qRgb(240, 210, 210) & 0xFFFFFFu);
    CheckFrame(image, kGrey);
    QCOMPARE(e->palette().color(QPalette::Text), text);

    // A second colour replaces the first everywhere.
    e->SetFillColor(QColor(200, 230, 200));
    image = Grab(*e);
    QCOMPARE(Rgb(image, 3, 3), qRgb(200, 230, 200) & 0xFFFFFFu);
    QCOMPARE(Rgb(image, 150, 18), qRgb(200, 230, 200) & 0xFFFFFFu);

    // Text goes on in the unchanged text colour.
    e->setText(QStringLiteral("MMMM"));
    image = Grab(*e);
    bool ink = false;
    for (int y = 2; y < 20 && !ink; ++y)
        for (int x = 2; x < 60 && !ink; ++x)
            ink = Rgb(image, x, y) == Rgb(text);
    QVERIFY(ink);
}

void EditPictureTest::pictureThroughItsMask()
{
    CSkinDialog dialog;
    dialog.resize(300, 200);
    dialog.SetBackgroundBitmap(155);
    auto* logo = new CMaskedPicture(&dialog);
    logo->setGeometry(137, 71, 150, 46);  // across a tile boundary both ways
    logo->m_nPicture = 156;
    logo->m_nMask = 157;

    const QImage picture = Res::LoadImage(156).convertToFormat(QImage::Format_RGB32);
    const QImage mask = Res::LoadImage(157).convertToFormat(QImage::Format_RGB32);
    const QImage image = logo->Render();
    QCOMPARE(image.size(), QSize(150, 46));

    int shown = 0, hidden = 0;
    for (int y = 0; y < 46; ++y)
        for (int x = 0; x < 150; ++x) {
            if (Rgb(mask, x, y) == 0xFFFFFF) {
                ++shown;
                QCOMPARE(Rgb(image, x, y), Rgb(picture, x, y));
            } else {
                ++hidden;
                QCOMPARE(Rgb(image, x, y), TileAt(137 + x, 71 + y));
            }
        }
    // The band and the lettering, and the background round them.
    QVERIFY(shown > 1500);
    QVERIFY(hidden > 1000);
    // The corners lie outside the band.
    QCOMPARE(Rgb(mask, 0, 0), 0u);
    QCOMPARE(Rgb(mask, 75, 23), 0xFFFFFFu);

    // On screen it is the same.
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QImage shot = Grab(dialog);
    QCOMPARE(Rgb(shot, 137, 71), TileAt(137, 71));
    QCOMPARE(Rgb(shot, 137 + 75, 71 + 23), Rgb(picture, 75, 23));
}

void EditPictureTest::pictureWithoutMask()
{
    // The picture is its own mask: picture OR background, pixel by pixel.
    CSkinDialog dialog;
    dialog.resize(300, 200);
    dialog.SetBackgroundBitmap(155);
    CMaskedPicture logo(&dialog);
    logo.setGeometry(60, 130, 150, 46);
    logo.m_nPicture = 156;
    const QImage picture = Res::LoadImage(156).convertToFormat(QImage::Format_RGB32);
    const QImage image = logo.Render();
    for (int y = 0; y < 46; y += 3)
        for (int x = 0; x < 150; x += 2)
            QCOMPARE(Rgb(image, x, y), Rgb(picture, x, y) | TileAt(60 + x, 130 + y));

    // A control larger than the picture: the background beyond it.
    logo.resize(170, 50);
    const QImage larger = logo.Render();
    QCOMPARE(Rgb(larger, 160, 10), TileAt(220, 140));
    QCOMPARE(Rgb(larger, 10, 48), TileAt(70, 178));
}

void EditPictureTest::pictureForATwiceDenseScreen()
{
    // At a device pixel ratio above 1 the logo is composed from the artwork drawn at
    // twice the size: its pixels, not the small picture's blown up.
    CSkinDialog dialog;
    dialog.resize(300, 200);
    dialog.SetBackgroundBitmap(155);
    auto* logo = new CMaskedPicture(&dialog);
    logo->setGeometry(20, 30, 150, 46);
    logo->m_nPicture = 156;
    logo->m_nMask = 157;
    const QImage picture = Res::LoadImage(156, 2).convertToFormat(QImage::Format_RGB32);
    const QImage mask = Res::LoadImage(157, 2).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(picture.size(), QSize(300, 92));
    QCOMPARE(mask.size(), QSize(300, 92));
    for (const qreal scale : {1.5, 2.0, 3.0})
    {
        const QImage image = logo->Render(scale);
        QCOMPARE(image.size(), QSize(300, 92));
        QCOMPARE(image.devicePixelRatio(), 2.0);
        int shown = 0;
        for (int y = 0; y < 92; ++y)
            for (int x = 0; x < 300; ++x)
                if (Rgb(mask, x, y) == 0xFFFFFF) {
                    ++shown;
                    QCOMPARE(Rgb(image, x, y), Rgb(picture, x, y));
                }
        QVERIFY(shown > 4 * 1500);
        // Round the band the tile shows, each of its pixels over two by two.
        QCOMPARE(Rgb(image, 0, 0), TileAt(20, 30));
        QCOMPARE(Rgb(image, 1, 1), TileAt(20, 30));
    }
    // A screen of ordinary density keeps the picture of the ordinary size.
    QCOMPARE(logo->Render(1.0), logo->Render());
    QCOMPARE(logo->Render(1.0).size(), QSize(150, 46));
}

void EditPictureTest::noPictureDrawsNothing()
{
    CSkinDialog dialog;
    dialog.resize(200, 100);
    dialog.SetBackgroundColor(QColor(10, 200, 30));
    auto* logo = new CMaskedPicture(&dialog);
    logo->setGeometry(10, 10, 150, 46);
    logo->m_nMask = 157;  // a mask alone shows nothing either
    QVERIFY(logo->Render().isNull());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QImage shot = Grab(dialog);
    for (int y = 10; y < 56; y += 5)
        for (int x = 10; x < 160; x += 5)
            QCOMPARE(Rgb(shot, x, y), qRgb(10, 200, 30) & 0xFFFFFFu);
}

// AND, OR and invert on the colour bits of every pixel, with a source smaller than the
// destination (its missing pixels count as black) and pixels of any alpha.
void EditPictureTest::rasterOperationsAreBitwise()
{
    std::mt19937 rng(12);
    auto randomImage = [&](QSize size) {
        QImage image(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                reinterpret_cast<QRgb*>(image.scanLine(y))[x] = static_cast<QRgb>(rng());
        return image;
    };
    const QImage dest = randomImage(QSize(37, 23));
    for (const QSize srcSize : {QSize(37, 23), QSize(20, 23), QSize(37, 9), QSize(50, 30)})
    {
        const QImage src = randomImage(srcSize);
        QImage a = dest, o = dest, n = dest;
        Raster::And(a, src);
        Raster::Or(o, src);
        Raster::Invert(n);
        for (int y = 0; y < dest.height(); ++y)
            for (int x = 0; x < dest.width(); ++x)
            {
                const QRgb d = Rgb(dest, x, y);
                const QRgb s = src.rect().contains(x, y) ? Rgb(src, x, y) : 0;
                QCOMPARE(Rgb(a, x, y), d & s);
                QCOMPARE(Rgb(o, x, y), d | s);
                QCOMPARE(Rgb(n, x, y), ~d & 0xFFFFFFu);
            }
    }
}

QTEST_MAIN(EditPictureTest)
#include "EditPictureTest.moc"
