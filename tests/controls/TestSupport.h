#pragma once
// Helpers shared by the control tests: pixels without alpha, the dialog's tile, and
// mouse input that travels the window system's road (so that a widget holding the
// mouse receives it, as it would on screen).

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include "controls/Resources.h"

// Declared by Qt's own test helpers and exported by QtGui.
Q_GUI_EXPORT void qt_handleMouseEvent(QWindow* window, const QPointF& local, const QPointF& global,
                                      Qt::MouseButtons state, Qt::MouseButton button,
                                      QEvent::Type type, Qt::KeyboardModifiers mods, int timestamp);

namespace TestSupport
{
inline QRgb Rgb(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0x00FFFFFFu;
}

inline QRgb Rgb(const QColor& colour)
{
    return colour.rgb() & 0x00FFFFFFu;
}

inline const QImage& Tile()
{
    static const QImage tile = Res::LoadImage(Res::IDB_BACKGROUND).convertToFormat(QImage::Format_RGB32);
    return tile;
}

// The tile's pixel at dialog position (x, y).
inline QRgb TileAt(int x, int y)
{
    return Rgb(Tile(), x % Tile().width(), y % Tile().height());
}

inline QImage Grab(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Sends one mouse event to the window of `over`. Without a display the platform cannot
// grab the pointer and says so ("does not support grabbing the mouse"); Qt still routes
// the events to the widget holding the mouse, which is what the tests look at., at `pos` in the coordinates of `over`.
class Mouse
{
public:
    explicit Mouse(QWidget* top) : m_window(top->window()->windowHandle()) {}

    void Move(QWidget* over, QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        Send(over, pos, Qt::NoButton, QEvent::MouseMove, mods);
    }
    void Press(QWidget* over, QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        m_buttons |= Qt::LeftButton;
        Send(over, pos, Qt::LeftButton, QEvent::MouseButtonPress, mods);
    }
    void Release(QWidget* over, QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        m_buttons &= ~Qt::MouseButtons(Qt::LeftButton);
        Send(over, pos, Qt::LeftButton, QEvent::MouseButtonRelease, mods);
        m_time += 1000;  // keep the next press from making a double click
    }

private:
    void Send(QWidget* over, QPoint pos, Qt::MouseButton button, QEvent::Type type,
              Qt::KeyboardModifiers mods)
    {
        const QPoint global = over->mapToGlobal(pos);
        const QPointF local = m_window->mapFromGlobal(global);
        m_time += 20;
        qt_handleMouseEvent(m_window, local, global, m_buttons, button, type, mods, m_time);
        QApplication::processEvents();
    }

    QWindow* m_window;
    Qt::MouseButtons m_buttons;
    int m_time = 100000;
};
}  // namespace TestSupport
