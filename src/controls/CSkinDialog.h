#pragma once
// Base of the program's dialogs: a bitmap tiled over the client area (or a solid
// colour), with labels, check boxes, radio buttons and group boxes drawn over it
// without a background of their own.

#include <QColor>
#include <QDialog>
#include <QPalette>
#include <QPixmap>

class QPainter;

class CSkinDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CSkinDialog(QWidget* parent = nullptr);
    ~CSkinDialog() override;

    // The dialogs' own colours, the same under every desktop theme; their controls
    // inherit them (a message box or file dialog, being a window, keeps the theme's).
    static QPalette SkinPalette();

    virtual void SetBackgroundColor(const QColor& colour);
    virtual void SetBackgroundBitmap(int resourceId);

    // Paints the dialog's background of the dialog rectangle rect into painter, with the
    // rectangle's top-left corner at the painter's (0, 0). Buttons and the logo compose
    // their transparent parts from this. Returns false when there is no background of
    // our own (the platform default then applies).
    bool PaintBackground(QPainter& painter, const QRect& rect) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    bool m_bHasColor = false;
    QColor m_crBackground;
    QPixmap m_hBackground;
    int m_nBitmapWidth = 0;
    int m_nBitmapHeight = 0;

private:
    void Watch(QWidget* widget);
    void MakeTransparent(QWidget* widget);
};

// Paints into painter, at its origin, what lies behind control: the background of the
// skinned dialog it sits on at the control's position, or the plain window colour of
// its parent when there is no skinned dialog (or an opaque container hides it).
void PaintParentBackground(const QWidget* control, QPainter& painter);
