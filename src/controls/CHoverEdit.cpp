#include "controls/CHoverEdit.h"

#include <QMouseEvent>
#include <QPainter>

namespace
{
// Our frame replaces the platform's border: two pixels all round, and the text keeps
// clear of it.
constexpr int kFrameWidth = 2;
}  // namespace

CHoverEdit::CHoverEdit(QWidget* parent)
    : QLineEdit(parent)
{
    setFrame(false);
    setTextMargins(kFrameWidth, kFrameWidth, kFrameWidth, kFrameWidth);
    // The hot frame follows the pointer without a button held.
    setMouseTracking(true);
}

CHoverEdit::~CHoverEdit()
{
    if (HoldsCapture())
        releaseMouse();
}

void CHoverEdit::SetFillColor(const QColor& colour)
{
    m_bHasFillColor = true;
    m_crFill = colour;
    // The fill paints the background only; the text colours stay the platform's.
    QPalette pal = palette();
    pal.setColor(QPalette::Base, colour);
    setPalette(pal);
    update();
}

QColor CHoverEdit::FrameColor() const
{
    return m_bHot ? QColor(0, 0, 0) : QColor(110, 110, 110);
}

void CHoverEdit::paintEvent(QPaintEvent* event)
{
    {
        // Some styles leave a frameless edit's background alone; fill it ourselves.
        QPainter painter(this);
        painter.fillRect(rect(), palette().brush(QPalette::Base));
    }
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    const QColor colour = FrameColor();
    // Two one-pixel frames, the second one pixel inside the first, over the control's
    // outer edge where the platform's border would be.
    QRect r = rect();
    for (int ring = 0; ring < kFrameWidth && r.width() > 0 && r.height() > 0; ++ring) {
        painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), colour);
        painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), colour);
        painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), colour);
        painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), colour);
        r.adjust(1, 1, -1, -1);
    }
}

void CHoverEdit::DrawFrame()
{
    repaint();
}

bool CHoverEdit::HoldsCapture() const
{
    return QWidget::mouseGrabber() == this;
}

void CHoverEdit::ReleaseCapture()
{
    if (HoldsCapture())
        releaseMouse();
}

void CHoverEdit::mouseMoveEvent(QMouseEvent* event)
{
    QLineEdit::mouseMoveEvent(event);
    if (m_bFocused)
        return;
    if (!HoldsCapture()) {
        if (!isVisible())
            return;  // only a visible control can hold the mouse
        m_bHot = true;
        grabMouse();
        DrawFrame();
    } else if (!rect().contains(event->position().toPoint())) {
        m_bHot = false;
        DrawFrame();
        ReleaseCapture();
    }
}

void CHoverEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    m_bFocused = true;
    m_bHot = true;
    // The edit follows the mouse itself once it has the focus (a click that gave it the
    // focus holds the mouse until release); the hover capture is not needed any more.
    ReleaseCapture();
    update();
}

void CHoverEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    m_bFocused = false;
    m_bHot = false;
    update();
}

void CHoverEdit::leaveEvent(QEvent* event)
{
    // Where the window system cannot hand us the pointer outside the window, the leave
    // is the last we hear of it.
    QLineEdit::leaveEvent(event);
    if (!m_bFocused && m_bHot) {
        m_bHot = false;
        ReleaseCapture();
        update();
    }
}

void CHoverEdit::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled() && HoldsCapture()) {
        m_bHot = m_bFocused;
        ReleaseCapture();
        update();
    }
    QLineEdit::changeEvent(event);
}

void CHoverEdit::hideEvent(QHideEvent* event)
{
    if (HoldsCapture()) {
        m_bHot = m_bFocused;
        ReleaseCapture();
    }
    QLineEdit::hideEvent(event);
}
