#pragma once
// Owner-drawn push button: five frame styles, transparent or opaque face, a hover look.

#include <QPushButton>

class QImage;
class QPainter;

class CQuimbelButton : public QPushButton
{
    Q_OBJECT
public:
    explicit CQuimbelButton(QWidget* parent = nullptr);
    CQuimbelButton(const QString& text, QWidget* parent = nullptr);
    ~CQuimbelButton() override;

    int m_nFrameStyle = 4;
    bool m_bTransparent = false;
    bool m_bIdleOutline = true;
    const QFont* m_hFont = nullptr;  // not owned; null: the default GUI font

    bool m_bHover = false;
    bool m_bPressed = false;
    bool m_bButtonDown = false;
    bool m_bCaptured = false;

    // Composes the button's image as it is drawn on screen (also what the tests look at).
    QImage Render() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

    void DrawFrame(QImage& image, const QRect& rect) const;
    void DrawLabel(QPainter& painter, const QRect& rect, bool disabled) const;
    QFont SelectLabelFont() const;
    // The keyboard focus: a dotted rectangle inside the button.
    bool ShowsFocus() const;
    void DrawFocusRect(QImage& image, bool rounded) const;

private:
    void Init();
    void Redraw();
    void Capture();
    void ReleaseCapture();
    void Reset();
};
