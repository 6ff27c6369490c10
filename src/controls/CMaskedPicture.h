#pragma once
// Static picture painted through a monochrome mask over the parent's background.

#include <QWidget>

class CMaskedPicture : public QWidget
{
    Q_OBJECT
public:
    explicit CMaskedPicture(QWidget* parent = nullptr);
    ~CMaskedPicture() override;

    int m_nPicture = 0;  // bitmap resource id; 0 draws nothing
    int m_nMask = 0;     // mask resource id; 0: the picture is its own mask

    // The composed image of the control's client area; null when there is no picture.
    QImage Render() const;
    // The same for a screen of scale device pixels a pixel: composed from the artwork
    // drawn at twice the size where the scale asks for more than one, so that the logo
    // stays sharp (the image says its device pixel ratio).
    QImage Render(qreal scale) const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
