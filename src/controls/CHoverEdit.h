#pragma once
// Edit field with a two-pixel frame, grey normally and black while hot or focused,
// and an optional fill colour.

#include <QColor>
#include <QLineEdit>

class CHoverEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit CHoverEdit(QWidget* parent = nullptr);
    ~CHoverEdit() override;

    void SetFillColor(const QColor& colour);

    // Colour of the frame in the current state.
    QColor FrameColor() const;

    bool m_bFocused = false;
    bool m_bHot = false;
    bool m_bHasFillColor = false;
    QColor m_crFill;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void DrawFrame();
    bool HoldsCapture() const;
    void ReleaseCapture();
};
