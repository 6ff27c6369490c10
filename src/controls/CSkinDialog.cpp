#include "controls/CSkinDialog.h"

#include "controls/Resources.h"

#include <QCheckBox>
#include <QChildEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPaintEvent>
#include <QProxyStyle>
#include <QRadioButton>
#include <QStyleFactory>
#include <QStyleOptionFrame>

namespace
{
// Group boxes draw their frame as an etched line and nothing inside it; some styles
// would tint the inside of the frame, which hides the dialog's tiles.
class CGroupFrameStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element != PE_FrameGroupBox) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        QRect r = option->rect;
        // Styles differ in whether the frame rectangle already starts below the title.
        const auto* box = qobject_cast<const QGroupBox*>(widget);
        if (box && r.top() == 0 && (box->isCheckable() || !box->title().isEmpty()))
            r.setTop(option->fontMetrics.height() / 2);
        if (r.width() < 2 || r.height() < 2)
            return;
        const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
        const bool flat = frame && (frame->features & QStyleOptionFrame::Flat);
        painter->save();
        painter->setBrush(Qt::NoBrush);
        if (flat) {
            painter->setPen(option->palette.color(QPalette::Dark));
            painter->drawRect(r.adjusted(0, 0, -1, -1));
        } else {
            painter->setPen(option->palette.color(QPalette::Light));
            painter->drawRect(r.adjusted(1, 1, -1, -1));
            painter->setPen(option->palette.color(QPalette::Dark));
            painter->drawRect(r.adjusted(0, 0, -2, -2));
        }
        painter->restore();
    }
};
}  // namespace

QPalette CSkinDialog::SkinPalette()
{
    // The light colours the dialogs were drawn for: the tiles are light whatever the
    // desktop's theme, so a dark theme's white text would vanish on them.
    struct RoleColour
    {
        QPalette::ColorRole role;
        QRgb active, disabled;
    };
    static constexpr RoleColour kColours[] = {
        {QPalette::WindowText, 0xFF000000, 0xFFBEBEBE},
        {QPalette::Button, 0xFFEFEFEF, 0xFFEFEFEF},
        {QPalette::Light, 0xFFFFFFFF, 0xFFFFFFFF},
        {QPalette::Midlight, 0xFFCACACA, 0xFFCACACA},
        {QPalette::Dark, 0xFF9F9F9F, 0xFFBEBEBE},
        {QPalette::Mid, 0xFFB8B8B8, 0xFFB8B8B8},
        {QPalette::Text, 0xFF000000, 0xFFBEBEBE},
        {QPalette::BrightText, 0xFFFFFFFF, 0xFFFFFFFF},
        {QPalette::ButtonText, 0xFF000000, 0xFFBEBEBE},
        {QPalette::Base, 0xFFFFFFFF, 0xFFEFEFEF},
        {QPalette::Window, 0xFFEFEFEF, 0xFFEFEFEF},
        {QPalette::Shadow, 0xFF767676, 0xFFB1B1B1},
        {QPalette::Highlight, 0xFF308CC6, 0xFF919191},
        {QPalette::HighlightedText, 0xFFFFFFFF, 0xFFFFFFFF},
        {QPalette::Link, 0xFF0000FF, 0xFF0000FF},
        {QPalette::LinkVisited, 0xFFFF00FF, 0xFFFF00FF},
        {QPalette::AlternateBase, 0xFFF7F7F7, 0xFFF7F7F7},
        {QPalette::ToolTipBase, 0xFFFFFFDC, 0xFFFFFFDC},
        {QPalette::ToolTipText, 0xFF000000, 0xFF000000},
        {QPalette::PlaceholderText, 0x80000000, 0x80000000},
    };
    QPalette palette;
    for (const RoleColour& c : kColours)
    {
        const QColor active = QColor::fromRgba(c.active);
        palette.setColor(QPalette::Active, c.role, active);
        palette.setColor(QPalette::Inactive, c.role, active);
        palette.setColor(QPalette::Disabled, c.role, QColor::fromRgba(c.disabled));
    }
    return palette;
}

CSkinDialog::CSkinDialog(QWidget* parent)
    : QDialog(parent)
{
    setPalette(SkinPalette());
}

CSkinDialog::~CSkinDialog() = default;

void CSkinDialog::SetBackgroundColor(const QColor& colour)
{
    m_bHasColor = true;
    m_crBackground = colour;
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    update();  // show the new colour at once
}

void CSkinDialog::SetBackgroundBitmap(int resourceId)
{
    // A second call replaces the first bitmap. A bitmap that cannot be loaded leaves
    // none, and the colour (or the platform's background) applies.
    m_hBackground = Res::LoadBitmap(resourceId);
    m_nBitmapWidth = m_hBackground.isNull() ? 0 : m_hBackground.width();
    m_nBitmapHeight = m_hBackground.isNull() ? 0 : m_hBackground.height();
    setAttribute(Qt::WA_OpaquePaintEvent, !m_hBackground.isNull() || m_bHasColor);
    // The dialogs set it before they are shown, where this costs nothing; a dialog that
    // is already on screen must not show old and new background side by side.
    update();
}

bool CSkinDialog::PaintBackground(QPainter& painter, const QRect& rect) const
{
    const QRect client = this->rect();
    const QRect visible = client.intersected(rect);

    if (!m_hBackground.isNull() && m_nBitmapWidth > 0 && m_nBitmapHeight > 0) {
        painter.save();
        painter.translate(-rect.topLeft());
        // Tiles that cross the client edge are cut there.
        painter.setClipRect(visible, painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
        // Column by column from the client area's top-left corner, each column top to
        // bottom, every tile whole and unscaled. Tiles that miss the requested rectangle
        // would be clipped away entirely, so they are skipped.
        for (int x = client.left(); x < client.width(); x += m_nBitmapWidth) {
            if (x + m_nBitmapWidth <= visible.left() || x > visible.right())
                continue;
            for (int y = client.top(); y < client.height(); y += m_nBitmapHeight) {
                if (y + m_nBitmapHeight <= visible.top() || y > visible.bottom())
                    continue;
                painter.drawPixmap(x, y, m_hBackground);
            }
        }
        painter.restore();
        return true;
    }

    if (m_bHasColor) {
        if (!visible.isEmpty())
            painter.fillRect(visible.translated(-rect.topLeft()), m_crBackground);
        return true;
    }
    return false;
}

void CSkinDialog::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (!PaintBackground(painter, rect()))
        QDialog::paintEvent(event);  // the platform's own dialog background
}

// ---------------------------------------------------------------------------------
// Static controls without a background
// ---------------------------------------------------------------------------------

// Children come and go during the dialog's life (the dialogs create some of theirs after
// construction), and a child is still a bare QWidget when it is added, so its kind is
// only known once it is polished: every descendant is watched, and treated when polished.
bool CSkinDialog::event(QEvent* event)
{
    if (event->type() == QEvent::ChildAdded) {
        auto* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType())
            Watch(static_cast<QWidget*>(child));
    }
    return QDialog::event(event);
}

bool CSkinDialog::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Polish:
        if (watched->isWidgetType())
            MakeTransparent(static_cast<QWidget*>(watched));
        break;
    case QEvent::ChildAdded: {
        auto* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType())
            Watch(static_cast<QWidget*>(child));
        break;
    }
    case QEvent::ChildRemoved: {
        auto* child = static_cast<QChildEvent*>(event)->child();
        child->removeEventFilter(this);
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void CSkinDialog::Watch(QWidget* widget)
{
    if (widget->isWindow())
        return;  // a secondary window has a background of its own
    widget->installEventFilter(this);  // installing twice keeps one filter
    if (widget->testAttribute(Qt::WA_WState_Polished))
        MakeTransparent(widget);
    const auto children = widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children)
        Watch(child);
}

void CSkinDialog::MakeTransparent(QWidget* widget)
{
    const bool isStatic = qobject_cast<QLabel*>(widget) || qobject_cast<QCheckBox*>(widget)
        || qobject_cast<QRadioButton*>(widget) || qobject_cast<QGroupBox*>(widget);
    if (!isStatic)
        return;
    // Only the text and the marks are drawn; the text colour stays as it is.
    widget->setAutoFillBackground(false);
    if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        if (!dynamic_cast<CGroupFrameStyle*>(box->style())) {
            // The group box owns its style; the widget only keeps a guarded pointer to it.
            auto* style = new CGroupFrameStyle(QStyleFactory::create(box->style()->name()));
            style->setParent(box);
            box->setStyle(style);
        }
    }
}

// ---------------------------------------------------------------------------------
// Background behind a control
// ---------------------------------------------------------------------------------

void PaintParentBackground(const QWidget* control, QPainter& painter)
{
    const QRect area(QPoint(0, 0), control->size());
    const QWidget* opaque = control->parentWidget();
    for (const QWidget* p = control->parentWidget(); p; p = p->parentWidget()) {
        if (const auto* dialog = qobject_cast<const CSkinDialog*>(p)) {
            const QRect inDialog(control->mapTo(dialog, QPoint(0, 0)), control->size());
            if (dialog->PaintBackground(painter, inDialog))
                return;
            opaque = dialog;
            break;
        }
        opaque = p;
        // A container that fills its own background hides whatever lies further up.
        if (p->autoFillBackground() || p->isWindow())
            break;
    }
    const QWidget* source = opaque ? opaque : control;
    painter.fillRect(area, source->palette().brush(source->backgroundRole()));
}
