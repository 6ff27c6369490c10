#pragma once
// Owner-drawn push button: five frame styles, transparent or opaque face, a hover look.

#include <QPushButton>

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

protected:
    void paintEvent(QPaintEvent* event) override;
};
