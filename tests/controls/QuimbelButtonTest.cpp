// The owner-drawn button: its frames and faces over the dialog's tiles, the hover and
// pressed looks, the embossed text of a disabled button, and the mouse state machine.

#include "TestSupport.h"

#include "controls/CQuimbelButton.h"
#include "controls/CSkinDialog.h"

#include <QSignalSpy>

using namespace TestSupport;

namespace
{
// System colours that cannot be mistaken for one another or for the tile.
const QColor kHighlight(255, 255, 0);
const QColor kLight(0, 255, 255);
const QColor kShadow(255, 0, 255);
const QColor kFace(0, 128, 0);

void UseTestColours(QWidget* w)
{
    QPalette pal = w->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Light, kHighlight);
        pal.setColor(group, QPalette::Midlight, kLight);
        pal.setColor(group, QPalette::Dark, kShadow);
        pal.setColor(group, QPalette::Button, kFace);
    }
    w->setPalette(pal);
}

// A tiled dialog with one 80 x 24 button at (130, 57), away from the tile's corners.
struct Scene
{
    CSkinDialog dialog;
    CQuimbelButton* button;
    QFont font;

    explicit Scene(int style = 2, bool transparent = true)
    {
        dialog.resize(300, 200);
        dialog.SetBackgroundBitmap(155);
        button = new CQuimbelButton(QString(), &dialog);
        button->setGeometry(130, 57, 80, 24);
        button->m_nFrameStyle = style;
        button->m_bTransparent = transparent;
        UseTestColours(button);
        // A crisp font, so that text pixels have exact colours.
        font = QFont(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(14);
        font.setStyleStrategy(QFont::NoAntialias);
        button->m_hFont = &font;
    }
    QRgb TileUnder(int x, int y) const { return TileAt(130 + x, 57 + y); }
};
}  // namespace

class QuimbelButtonTest : public QObject
{
    Q_OBJECT
private slots:
    void transparentCapsuleShowsTheTiles();
    void opaceCapsuleHasFaceAndShadowRing();
    void hoverInvertsInsideTheShapeOnly();
    void rectangleStyles();
    void raisedCapsuleSwapsRingsWhenPressed();
    void styleThreeRaisesOnHover();
    void disabledTextIsEmbossed();
    void labelIsCentredAndDrawnOnce();
    void hoverAndCapture();
    void pressDragOffAndBack();
    void modifierKeepsTheCapture();
    void disablingLetsGo();
    void doubleClick();
    void keyboardFocusShowsADottedRectangle();
};

void QuimbelButtonTest::transparentCapsuleShowsTheTiles()
{
    Scene scene(2, true);
    const QImage image = scene.button->Render();
    const QRgb black = 0;

    // Black capsule outline at the middle of each side.
    QCOMPARE(Rgb(image, 40, 0), black);
    QCOMPARE(Rgb(image, 40, 23), black);
    QCOMPARE(Rgb(image, 0, 12), black);
    QCOMPARE(Rgb(image, 79, 12), black);
    // Outside the rounded ends: the tiles.
    QCOMPARE(Rgb(image, 0, 0), scene.TileUnder(0, 0));
    QCOMPARE(Rgb(image, 79, 23), scene.TileUnder(79, 23));
    QCOMPARE(Rgb(image, 2, 2), scene.TileUnder(2, 2));
    // Inside: the tiles, with no shadow ring next to the outline.
    QCOMPARE(Rgb(image, 40, 1), scene.TileUnder(40, 1));
    QCOMPARE(Rgb(image, 1, 12), scene.TileUnder(1, 12));
    QCOMPARE(Rgb(image, 12, 12), scene.TileUnder(12, 12));
    QCOMPARE(Rgb(image, 78, 12), scene.TileUnder(78, 12));

    // On screen the inside continues the dialog's tiles around the button.
    scene.dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&scene.dialog));
    const QImage shot = Grab(scene.dialog);
    for (int x = 146; x < 195; x += 4)
        QCOMPARE(Rgb(shot, x, 58), TileAt(x, 58));
    QCOMPARE(Rgb(shot, 129, 69), TileAt(129, 69));
    QCOMPARE(Rgb(shot, 130, 69), black);
    QCOMPARE(Rgb(shot, 131, 69), TileAt(131, 69));
}

void QuimbelButtonTest::opaceCapsuleHasFaceAndShadowRing()
{
    Scene scene(2, false);
    const QImage image = scene.button->Render();
    QCOMPARE(Rgb(image, 40, 0), 0u);
    QCOMPARE(Rgb(image, 40, 12), Rgb(kFace));
    QCOMPARE(Rgb(image, 0, 0), scene.TileUnder(0, 0));
    // The shadow ring one pixel inside the outline stays visible at the bottom and right,
    // where the face fill stops one pixel short.
    QCOMPARE(Rgb(image, 40, 22), Rgb(kShadow));
    QCOMPARE(Rgb(image, 78, 12), Rgb(kShadow));
    QCOMPARE(Rgb(image, 40, 1), Rgb(kFace));
}

void QuimbelButtonTest::hoverInvertsInsideTheShapeOnly()
{
    Scene scene(2, true);
    scene.button->setText(QStringLiteral("analyze"));
    const QImage idle = scene.button->Render();
    scene.button->m_bHover = true;
    const QImage hover = scene.button->Render();

    // Inside the capsule every colour is inverted, the text's included.
    bool sawText = false;
    for (int y = 2; y < 22; ++y)
        for (int x = 12; x < 68; ++x) {
            QCOMPARE(Rgb(hover, x, y), Rgb(idle, x, y) ^ 0xFFFFFFu);
            sawText = sawText || Rgb(idle, x, y) == 0;
        }
    QVERIFY(sawText);
    // The outline and the corners outside the capsule are left alone.
    QCOMPARE(Rgb(hover, 40, 0), 0u);
    QCOMPARE(Rgb(hover, 40, 23), 0u);
    QCOMPARE(Rgb(hover, 0, 0), Rgb(idle, 0, 0));
    QCOMPARE(Rgb(hover, 79, 23), Rgb(idle, 79, 23));
    QCOMPARE(Rgb(hover, 40, 1), Rgb(idle, 40, 1) ^ 0xFFFFFFu);

    // Pressed without hover changes nothing for the flat styles.
    scene.button->m_bHover = false;
    scene.button->m_bPressed = true;
    QCOMPARE(scene.button->Render(), idle);
}

void QuimbelButtonTest::rectangleStyles()
{
    Scene scene(1, true);
    QImage image = scene.button->Render();
    QCOMPARE(Rgb(image, 0, 0), 0u);
    QCOMPARE(Rgb(image, 79, 23), 0u);
    QCOMPARE(Rgb(image, 40, 0), 0u);
    QCOMPARE(Rgb(image, 1, 1), scene.TileUnder(1, 1));
    scene.button->m_bHover = true;
    image = scene.button->Render();
    QCOMPARE(Rgb(image, 0, 0), 0u);  // the outline is not inverted
    QCOMPARE(Rgb(image, 1, 1), scene.TileUnder(1, 1) ^ 0xFFFFFFu);
    QCOMPARE(Rgb(image, 78, 22), scene.TileUnder(78, 22) ^ 0xFFFFFFu);

    // Style 0: shadow along the top and left, highlight along the bottom and right.
    scene.button->m_nFrameStyle = 0;
    scene.button->m_bHover = false;
    image = scene.button->Render();
    QCOMPARE(Rgb(image, 0, 0), Rgb(kShadow));
    QCOMPARE(Rgb(image, 40, 0), Rgb(kShadow));
    QCOMPARE(Rgb(image, 0, 12), Rgb(kShadow));
    QCOMPARE(Rgb(image, 79, 0), Rgb(kHighlight));
    QCOMPARE(Rgb(image, 79, 12), Rgb(kHighlight));
    QCOMPARE(Rgb(image, 40, 23), Rgb(kHighlight));
    QCOMPARE(Rgb(image, 0, 23), Rgb(kHighlight));
    QCOMPARE(Rgb(image, 40, 12), scene.TileUnder(40, 12));
}

void QuimbelButtonTest::raisedCapsuleSwapsRingsWhenPressed()
{
    Scene scene(4, false);  // the class's own defaults
    CQuimbelButton fresh;
    QCOMPARE(fresh.m_nFrameStyle, 4);
    QVERIFY(!fresh.m_bTransparent);

    QImage up = scene.button->Render();
    // Lit at the top and left, shaded at the bottom and right, the face between.
    QCOMPARE(Rgb(up, 40, 0), Rgb(kHighlight));
    QCOMPARE(Rgb(up, 0, 10), Rgb(kHighlight));
    QCOMPARE(Rgb(up, 40, 22), Rgb(kShadow));
    QCOMPARE(Rgb(up, 78, 12), Rgb(kShadow));
    QCOMPARE(Rgb(up, 40, 12), Rgb(kFace));
    QCOMPARE(Rgb(up, 40, 23), scene.TileUnder(40, 23));

    scene.button->m_bPressed = true;
    const QImage down = scene.button->Render();
    QCOMPARE(Rgb(down, 40, 0), Rgb(kShadow));
    QCOMPARE(Rgb(down, 0, 10), Rgb(kShadow));
    QCOMPARE(Rgb(down, 40, 22), Rgb(kHighlight));
    QCOMPARE(Rgb(down, 78, 12), Rgb(kHighlight));
    QCOMPARE(Rgb(down, 40, 12), Rgb(kFace));

    // Style 4 has no hover look.
    scene.button->m_bPressed = false;
    scene.button->m_bHover = true;
    QCOMPARE(scene.button->Render(), up);
}

void QuimbelButtonTest::styleThreeRaisesOnHover()
{
    Scene scene(3, true);
    const QImage idle = scene.button->Render();
    QCOMPARE(Rgb(idle, 40, 0), 0u);  // the outline of style 2
    scene.button->m_bHover = true;
    const QImage hover = scene.button->Render();
    QCOMPARE(Rgb(hover, 40, 0), Rgb(kHighlight));  // the raised capsule's lit ring
    QCOMPARE(Rgb(hover, 40, 12), scene.TileUnder(40, 12));  // no inversion

    scene.button->m_bHover = false;
    scene.button->m_bIdleOutline = false;
    const QImage bare = scene.button->Render();
    QCOMPARE(Rgb(bare, 40, 0), scene.TileUnder(40, 0));
    QCOMPARE(Rgb(bare, 0, 12), scene.TileUnder(0, 12));
}

void QuimbelButtonTest::disabledTextIsEmbossed()
{
    Scene scene(1, false);
    scene.button->setText(QStringLiteral("HIT"));
    const QImage enabled = scene.button->Render();
    scene.button->setEnabled(false);
    const QImage disabled = scene.button->Render();

    int text = 0, relief = 0;
    for (int y = 2; y < 22; ++y)
        for (int x = 2; x < 78; ++x) {
            const bool ink = Rgb(enabled, x, y) == 0;
            if (ink) {
                ++text;
                // The text itself in the shadow colour...
                QCOMPARE(Rgb(disabled, x, y), Rgb(kShadow));
            } else if (Rgb(enabled, x - 1, y - 1) == 0) {
                // ...over a highlight copy one pixel right and down.
                ++relief;
                QCOMPARE(Rgb(disabled, x, y), Rgb(kHighlight));
            } else {
                QCOMPARE(Rgb(disabled, x, y), Rgb(enabled, x, y));
            }
        }
    QVERIFY(text > 20);
    QVERIFY(relief > 5);
}

void QuimbelButtonTest::labelIsCentredAndDrawnOnce()
{
    Scene scene(1, false);
    scene.button->setText(QStringLiteral("&exit"));
    const QImage image = scene.button->Render();
    int left = 80, right = -1, top = 24, bottom = -1;
    for (int y = 1; y < 23; ++y)
        for (int x = 1; x < 79; ++x)
            if (Rgb(image, x, y) == 0) {
                left = qMin(left, x);
                right = qMax(right, x);
                top = qMin(top, y);
                bottom = qMax(bottom, y);
            }
    QVERIFY(right > left);
    // Centred across within a pixel or two; the underline of the mnemonic is drawn
    // instead of the ampersand, so the ink is narrower than "&exit" would be.
    QVERIFY(qAbs((left + right) - 79) <= 3);
    QVERIFY(qAbs((top + bottom) - 23) <= 4);
    QVERIFY(right - left < QFontMetrics(scene.font).horizontalAdvance(QStringLiteral("&exit")));
}

void QuimbelButtonTest::hoverAndCapture()
{
    Scene scene;
    scene.dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&scene.dialog));
    CQuimbelButton* b = scene.button;
    Mouse mouse(&scene.dialog);

    mouse.Move(&scene.dialog, QPoint(20, 20));
    QVERIFY(!b->m_bHover);
    QVERIFY(QWidget::mouseGrabber() == nullptr);

    // Entering takes the mouse and shows the hover look.
    mouse.Move(b, QPoint(10, 12));
    QVERIFY(b->m_bHover);
    QVERIFY(b->m_bCaptured);
    QCOMPARE(QWidget::mouseGrabber(), b);
    const QImage shot = Grab(scene.dialog);
    QCOMPARE(Rgb(shot, 170, 69), TileAt(170, 69) ^ 0xFFFFFFu);

    mouse.Move(b, QPoint(40, 12));
    QVERIFY(b->m_bHover);

    // Leaving without a button or key lets go.
    mouse.Move(b, QPoint(100, 12));
    QVERIFY(!b->m_bHover);
    QVERIFY(!b->m_bCaptured);
    QVERIFY(QWidget::mouseGrabber() == nullptr);
    QCOMPARE(Rgb(Grab(scene.dialog), 170, 69), TileAt(170, 69));
}

void QuimbelButtonTest::pressDragOffAndBack()
{
    Scene scene;
    scene.dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&scene.dialog));
    CQuimbelButton* b = scene.button;
    QSignalSpy clicks(b, &QPushButton::clicked);
    Mouse mouse(&scene.dialog);

    // Press, drag off: not pressed any more, still hovered and holding the mouse.
    mouse.Move(b, QPoint(10, 12));
    mouse.Press(b, QPoint(10, 12));
    QVERIFY(b->m_bPressed && b->m_bButtonDown && b->m_bHover && b->m_bCaptured);
    mouse.Move(b, QPoint(120, 40));
    QVERIFY(!b->m_bPressed);
    QVERIFY(b->m_bHover);
    QVERIFY(b->m_bButtonDown);
    QCOMPARE(QWidget::mouseGrabber(), b);

    // Back over the button: pressed again; released there: one click.
    mouse.Move(b, QPoint(30, 12));
    QVERIFY(b->m_bPressed);
    mouse.Release(b, QPoint(30, 12));
    QCOMPARE(clicks.count(), 1);
    QVERIFY(!b->m_bHover && !b->m_bPressed && !b->m_bButtonDown && !b->m_bCaptured);
    QVERIFY(QWidget::mouseGrabber() == nullptr);
    // The hover look is gone although the pointer is still there...
    QCOMPARE(Rgb(Grab(scene.dialog), 170, 69), TileAt(170, 69));
    // ...until it moves.
    mouse.Move(b, QPoint(31, 12));
    QVERIFY(b->m_bHover);
    QCOMPARE(QWidget::mouseGrabber(), b);

    // Press, drag off, release off the button: no click, and the mouse is free.
    mouse.Press(b, QPoint(31, 12));
    mouse.Move(b, QPoint(-30, 12));
    mouse.Release(b, QPoint(-30, 12));
    QCOMPARE(clicks.count(), 1);
    QVERIFY(!b->m_bHover && !b->m_bCaptured);
    QVERIFY(QWidget::mouseGrabber() == nullptr);
}

void QuimbelButtonTest::modifierKeepsTheCapture()
{
    Scene scene;
    scene.dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&scene.dialog));
    CQuimbelButton* b = scene.button;
    Mouse mouse(&scene.dialog);

    mouse.Move(b, QPoint(10, 12));
    mouse.Move(b, QPoint(-40, 12), Qt::ShiftModifier);
    QVERIFY(!b->m_bHover);
    QVERIFY(b->m_bCaptured);
    QCOMPARE(QWidget::mouseGrabber(), b);
    mouse.Move(b, QPoint(-50, 12), Qt::ControlModifier);
    QCOMPARE(QWidget::mouseGrabber(), b);
    // The first move without any key lets go.
    mouse.Move(b, QPoint(-60, 12));
    QVERIFY(!b->m_bCaptured);
    QVERIFY(QWidget::mouseGrabber() == nullptr);

    // A press elsewhere while a key still keeps the mouse is not a press on the button.
    QSignalSpy clicks(b, &QPushButton::clicked);
    mouse.Move(b, QPoint(10, 12));
    mouse.Move(b, QPoint(-40, 12), Qt::ShiftModifier);
    mouse.Press(b, QPoint(-40, 12), Qt::ShiftModifier);
    QVERIFY(!b->m_bPressed && !b->m_bHover && !b->m_bCaptured);
    QVERIFY(QWidget::mouseGrabber() != b);
    mouse.Release(b, QPoint(-40, 12), Qt::ShiftModifier);
    QCOMPARE(clicks.count(), 0);
}

void QuimbelButtonTest::disablingLetsGo()
{
    Scene scene;
    scene.dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&scene.dialog));
    CQuimbelButton* b = scene.button;
    Mouse mouse(&scene.dialog);

    mouse.Move(b, QPoint(10, 12));
    QCOMPARE(QWidget::mouseGrabber(), b);
    b->setEnabled(false);
    QVERIFY(!b->m_bHover && !b->m_bCaptured);
    QVERIFY(QWidget::mouseGrabber() == nullptr);
    // A disabled button never shows the hover look.
    mouse.Move(b, QPoint(20, 12));
    QVERIFY(!b->m_bHover);
    QVERIFY(QWidget::mouseGrabber() == nullptr);

    b->setEnabled(true);
    mouse.Move(b, QPoint(21, 12));
    QCOMPARE(QWidget::mouseGrabber(), b);
    b->hide();
    QVERIFY(QWidget::mouseGrabber() == nullptr);
    QVERIFY(!b->m_bHover);
}

void QuimbelButtonTest::doubleClick()
{
    Scene scene;
    scene.dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&scene.dialog));
    CQuimbelButton* b = scene.button;
    QSignalSpy clicks(b, &QPushButton::clicked);

    // Delivered straight to the button, as the window system would after a first click.
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(10, 12), b->mapToGlobal(QPointF(10, 12)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(b, &dbl);
    QVERIFY(b->m_bHover && b->m_bPressed && b->m_bButtonDown);
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(10, 12), b->mapToGlobal(QPointF(10, 12)),
                   Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(b, &up);
    QCOMPARE(clicks.count(), 1);
    QVERIFY(!b->m_bHover && !b->m_bPressed && !b->m_bButtonDown);
}

QTEST_MAIN(QuimbelButtonTest)
#include "QuimbelButtonTest.moc"

void QuimbelButtonTest::keyboardFocusShowsADottedRectangle()
{
    for (int style : {1, 2}) {
        Scene scene(style, true);
        auto* other = new CQuimbelButton(QStringLiteral("x"), &scene.dialog);
        other->setGeometry(10, 10, 40, 20);
        scene.dialog.show();
        QApplication::setActiveWindow(&scene.dialog);
        QVERIFY(QTest::qWaitForWindowActive(&scene.dialog));

        // Focus given by a click (or by the program) shows nothing.
        scene.button->setFocus(Qt::MouseFocusReason);
        const QImage quiet = scene.button->Render();
        // Reached with Tab, the button shows dots three pixels in, every other pixel.
        other->setFocus();
        QTest::keyClick(other, Qt::Key_Tab);
        QVERIFY(scene.button->hasFocus());
        const QImage focused = scene.button->Render();
        const int y = 3;
        int dots = 0, gaps = 0;
        for (int x = 20; x < 60; ++x) {
            QCOMPARE(Rgb(quiet, x, y), scene.TileUnder(x, y));
            if (Rgb(focused, x, y) == 0)
                ++dots;
            else if (Rgb(focused, x, y) == scene.TileUnder(x, y))
                ++gaps;
            QVERIFY(Rgb(focused, x, y) != Rgb(focused, x + 1, y) || Rgb(focused, x, y) != 0);
        }
        QCOMPARE(dots, 20);
        QCOMPARE(gaps, 20);
        // Nothing outside the rectangle changes.
        for (int x = 0; x < 80; ++x)
            QCOMPARE(Rgb(focused, x, 1), Rgb(quiet, x, 1));
    }
}
