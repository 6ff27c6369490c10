#include "controls/CQuimbelButton.h"

#include "controls/CSkinDialog.h"
#include "controls/Raster.h"

#include <algorithm>
#include <cmath>

#include <QFontDatabase>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace
{
// A shape filled "without an outline" covers one pixel less at its right and bottom
// than the same shape drawn with a pen. The raised and the opaque looks depend on it:
// the lower and right rings stay visible beside the filled face.
CShape FilledWithoutPen(QSize canvas, const QRect& r, bool capsule)
{
    const QRect filled = r.adjusted(0, 0, -1, -1);
    return capsule ? CShape::RoundRect(canvas, filled, r.height(), r.height())
                   : CShape::Rectangle(canvas, filled);
}
}  // namespace

CQuimbelButton::CQuimbelButton(QWidget* parent)
    : QPushButton(parent)
{
    Init();
}

CQuimbelButton::CQuimbelButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent)
{
    Init();
}

CQuimbelButton::~CQuimbelButton()
{
    if (m_bCaptured && QWidget::mouseGrabber() == this)
        releaseMouse();
}

void CQuimbelButton::Init()
{
    // A drawn button carries no default-button marking: Return does not press it.
    setAutoDefault(false);
    setDefault(false);
    // The whole image is drawn by paintEvent; nothing is erased beforehand.
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setAttribute(Qt::WA_NoSystemBackground, true);
    // The hover look needs the moves without a button held.
    setMouseTracking(true);
}

// ---------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------

void CQuimbelButton::paintEvent(QPaintEvent*)
{
    const QImage image = Render();
    QPainter painter(this);
    painter.drawImage(0, 0, image);  // the composed image reaches the screen in one copy
}

QImage CQuimbelButton::Render() const
{
    const int w = width();
    const int h = height();
    const QSize size(w, h);
    const QRect item(0, 0, w, h);

    // Background: the piece of the parent's background that lies under the button.
    QImage background = Raster::MakeImage(size);
    {
        QPainter painter(&background);
        PaintParentBackground(this, painter);
    }

    QImage composition = background;
    DrawFrame(composition, item);

    // Face, inside the item rectangle shrunk by one pixel.
    const QRect inner = item.adjusted(1, 1, -1, -1);
    const bool rounded = m_nFrameStyle != 0 && m_nFrameStyle != 1;
    if (m_bTransparent) {
        // Inside the shape, its outline excepted, the plain parent background; outside
        // it and on the outline, the background with the frame.
        const CShape innerShape = rounded ? CShape::Capsule(size, inner) : CShape::Rectangle(size, inner);
        innerShape.Interior().CopyFrom(composition, background);
    } else {
        FilledWithoutPen(size, inner, rounded).Fill(composition, palette().color(QPalette::Button).rgb());
    }

    {
        QPainter painter(&composition);
        DrawLabel(painter, item, !isEnabled());
    }
    if (ShowsFocus())
        DrawFocusRect(composition, rounded);

    // Hover look of the flat styles: every colour inside the shape inverted, the shape's
    // own outline excepted.
    if (m_bHover && m_nFrameStyle >= 0 && m_nFrameStyle <= 2) {
        const CShape shape = m_nFrameStyle == 2 ? CShape::Capsule(size, item)
                                                : CShape::Rectangle(size, item);
        shape.Interior().Invert(composition);
    }
    return composition;
}

void CQuimbelButton::DrawFrame(QImage& image, const QRect& rect) const
{
    const QSize size = image.size();
    const QPalette& pal = palette();  // the colours are read at every paint
    const QRgb highlight = pal.color(QPalette::Light).rgb();
    const QRgb light = pal.color(QPalette::Midlight).rgb();
    const QRgb shadow = pal.color(QPalette::Dark).rgb();
    const QRgb black = qRgb(0, 0, 0);

    const bool raised = m_nFrameStyle == 4 || (m_nFrameStyle == 3 && m_bHover);
    const bool outlined = m_nFrameStyle == 2 || (m_nFrameStyle == 3 && !m_bHover && m_bIdleOutline);

    if (raised) {
        FilledWithoutPen(size, rect, true).Fill(image, light);
        // Four rings of equal size stepped one pixel down and right: lit top-left and
        // shaded bottom-right while up, the reverse while pressed.
        QRect r = rect.adjusted(0, 0, -4, -4);
        CShape::Capsule(size, r).Outline().Fill(image, m_bPressed ? shadow : highlight);
        r.translate(1, 1);
        CShape::Capsule(size, r).Outline().Fill(image, light);
        r.translate(1, 1);
        CShape::Capsule(size, r).Outline().Fill(image, light);
        r.translate(1, 1);
        CShape::Capsule(size, r).Outline().Fill(image, m_bPressed ? highlight : shadow);
    } else if (outlined) {
        CShape::Capsule(size, rect).Outline().Fill(image, black);
        if (!m_bTransparent)
            CShape::Capsule(size, rect.adjusted(1, 1, -1, -1)).Outline().Fill(image, shadow);
    } else if (m_nFrameStyle == 1) {
        CShape::Rectangle(size, rect).Outline().Fill(image, black);
    } else if (m_nFrameStyle == 0) {
        // Shadow along the top and left edges, highlight along the right and bottom ones,
        // which own the corners they share with the shadow.
        const int w = rect.width();
        const int h = rect.height();
        if (w > 0 && h > 0) {
            CShape::Rectangle(size, QRect(rect.left(), rect.top(), w - 1, 1)).Fill(image, shadow);
            CShape::Rectangle(size, QRect(rect.left(), rect.top(), 1, h - 1)).Fill(image, shadow);
            CShape::Rectangle(size, QRect(rect.left() + w - 1, rect.top(), 1, h)).Fill(image, highlight);
            CShape::Rectangle(size, QRect(rect.left(), rect.top() + h - 1, w, 1)).Fill(image, highlight);
        }
    }
}

bool CQuimbelButton::ShowsFocus() const
{
    // As the platform's buttons do: only once the keyboard has moved the focus in this
    // window, so a mouse user never sees it.
    return hasFocus() && isEnabled() && window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void CQuimbelButton::DrawFocusRect(QImage& image, bool rounded) const
{
    // A dotted rectangle three pixels inside the frame; on a capsule it also keeps clear
    // of the round ends, which leave the band three pixels in from the edge this far
    // from the corners.
    const int w = image.width(), h = image.height();
    constexpr int kInset = 3;
    int insetX = kInset;
    if (rounded)
    {
        const double r = h / 2.0;
        const double d = r - kInset;
        insetX = static_cast<int>(std::ceil(r - std::sqrt(std::max(0.0, r * r - d * d)))) + 1;
    }
    const QRect box(insetX, kInset, w - 2 * insetX, h - 2 * kInset);
    if (box.width() < 2 || box.height() < 2)
        return;
    const QRgb dot = qRgb(0, 0, 0);
    // Every other pixel around the rectangle, counted from its top-left corner.
    auto plot = [&](int x, int y) {
        if (((x - box.left()) + (y - box.top())) % 2 == 0)
            image.setPixel(x, y, dot);
    };
    for (int x = box.left(); x <= box.right(); ++x)
    {
        plot(x, box.top());
        plot(x, box.bottom());
    }
    for (int y = box.top() + 1; y < box.bottom(); ++y)
    {
        plot(box.left(), y);
        plot(box.right(), y);
    }
}

QFont CQuimbelButton::SelectLabelFont() const
{
    return m_hFont ? *m_hFont : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
}

void CQuimbelButton::DrawLabel(QPainter& painter, const QRect& rect, bool disabled) const
{
    const QString label = text();
    painter.save();
    painter.setFont(SelectLabelFont());
    const int flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
    QColor colour(Qt::black);
    if (disabled) {
        // Embossed: a highlight copy one pixel right and down under the shadow-coloured text.
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(rect.translated(1, 1), flags, label);
        colour = palette().color(QPalette::Dark);
    }
    painter.setPen(colour);
    painter.drawText(rect, flags, label);
    painter.restore();
}

// ---------------------------------------------------------------------------------
// Mouse
// ---------------------------------------------------------------------------------

void CQuimbelButton::Redraw()
{
    repaint();
}

void CQuimbelButton::Capture()
{
    // Holding the mouse while it is over the button is what lets us see the move that
    // leaves it. Only a visible button can hold it.
    if (isVisible()) {
        grabMouse();
        m_bCaptured = true;
    }
}

void CQuimbelButton::ReleaseCapture()
{
    if (QWidget::mouseGrabber() == this)
        releaseMouse();
    m_bCaptured = false;
}

void CQuimbelButton::Reset()
{
    if (m_bCaptured)
        ReleaseCapture();
    m_bHover = m_bPressed = m_bButtonDown = false;
}

bool CQuimbelButton::hitButton(const QPoint& pos) const
{
    return rect().contains(pos);
}

void CQuimbelButton::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const bool leftHeld = event->buttons() & Qt::LeftButton;
    bool changed = false;

    if (rect().contains(pos)) {
        if (!m_bHover) {
            m_bHover = true;
            changed = true;
        }
        if (leftHeld && m_bButtonDown && !m_bPressed) {
            m_bPressed = true;
            changed = true;
        }
        if (!m_bCaptured) {
            Capture();
            Redraw();
        } else if (changed) {
            Redraw();
        }
    } else {
        if (leftHeld) {
            if (m_bPressed) {
                m_bPressed = false;
                changed = true;
            }
        } else if (m_bHover) {
            m_bHover = false;
            changed = true;
        }
        const auto keys = event->modifiers()
            & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        if (m_bCaptured && event->buttons() == Qt::NoButton && keys == Qt::NoModifier) {
            ReleaseCapture();
            Redraw();
        } else if (changed) {
            Redraw();
        }
    }
    QPushButton::mouseMoveEvent(event);
}

void CQuimbelButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QPushButton::mousePressEvent(event);
        return;
    }
    if (m_bCaptured && !rect().contains(event->position().toPoint())) {
        // We only hold the mouse because a key kept it after the pointer left; this press
        // was aimed elsewhere. Let go rather than show a pressed button under no pointer.
        Reset();
        Redraw();
        event->ignore();
        return;
    }
    m_bHover = m_bButtonDown = m_bPressed = true;
    if (!m_bCaptured)
        Capture();
    Redraw();
    QPushButton::mousePressEvent(event);
}

void CQuimbelButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QPushButton::mouseDoubleClickEvent(event);
        return;
    }
    m_bHover = m_bButtonDown = m_bPressed = true;
    Redraw();
    // The platform button treats the second press like the first.
    QPushButton::mousePressEvent(event);
}

void CQuimbelButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QPushButton::mouseReleaseEvent(event);
        return;
    }
    m_bHover = m_bButtonDown = m_bPressed = false;
    Redraw();
    // The mouse is let go before the click is delivered: the click handler may run an
    // analysis that must see its "stop" button, or open a modal dialog, and the handler
    // may even destroy this button.
    if (m_bCaptured)
        ReleaseCapture();
    QPushButton::mouseReleaseEvent(event);
}

void CQuimbelButton::changeEvent(QEvent* event)
{
    // A disabled button receives no mouse input: it must not keep the mouse, nor a look
    // it could never leave.
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        Reset();
        update();
    }
    QPushButton::changeEvent(event);
}

void CQuimbelButton::hideEvent(QHideEvent* event)
{
    Reset();
    QPushButton::hideEvent(event);
}
