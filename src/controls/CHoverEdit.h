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

    bool m_bFocused = false;
    bool m_bHot = false;
    bool m_bHasFillColor = false;
    QColor m_crFill;
};
