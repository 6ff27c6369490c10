#include "app/inspector/CPlotWidget.h"

#include <QFileInfo>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

namespace
{
constexpr int kPickRadius = 10;  // pixels
constexpr int kLegendItemWidth = 170;  // pixels a legend entry takes, for its wrap
const QColor kHiddenText(160, 160, 160);
constexpr QSize kSmallestExport(480, 320);
}

CPlotWidget::CPlotWidget(const QString& xLabel, const QString& yLabel, QWidget* parent) : QCustomPlot(parent)
{
    xAxis->setLabel(xLabel);
    yAxis->setLabel(yLabel);
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    // The time axis zooms and pans; the value axis follows what is on show.
    axisRect()->setRangeZoom(Qt::Horizontal);
    axisRect()->setRangeDrag(Qt::Horizontal);
    // The legend above the data, never over it; a click on an entry hides or shows its
    // series.
    legend->setVisible(true);
    legend->setFont(font());
    axisRect()->insetLayout()->take(legend);
    plotLayout()->insertRow(0);
    plotLayout()->addElement(0, 0, legend);
    plotLayout()->setRowStretchFactor(0, 0.001);
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    legend->setWrap(3);
    legend->setBorderPen(Qt::NoPen);
    legend->setMargins(QMargins(4, 2, 4, 2));
    connect(this, &QCustomPlot::legendClick, this,
            [this](QCPLegend*, QCPAbstractLegendItem* item, QMouseEvent*) { OnLegendClick(item); });
    setNoAntialiasingOnDrag(true);
    // Smooth dots cost a millisecond per thousand; square ones are as readable.
    setNotAntialiasedElements(QCP::aeScatters);
    setMouseTracking(true);
    connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this] { Redecimate(); });
}

CPlotWidget::~CPlotWidget() = default;

void CPlotWidget::ClearSeries()
{
    clearGraphs();
    clearItems();
    m_series.clear();
}

void CPlotWidget::AddSeries(PlotSeries series)
{
    QCPGraph* g = addGraph();
    g->setName(series.name);
    QPen pen(series.color);
    pen.setStyle(series.penStyle);
    g->setPen(pen);
    switch (series.style)
    {
    case PlotSeries::Line: break;
    case PlotSeries::StepLine: g->setLineStyle(QCPGraph::lsStepLeft); break;
    case PlotSeries::Dots:
        g->setLineStyle(QCPGraph::lsNone);
        g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, series.color, 3));
        break;
    case PlotSeries::Impulses: g->setLineStyle(QCPGraph::lsImpulse); break;
    case PlotSeries::Marks:
        g->setLineStyle(QCPGraph::lsNone);
        g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, QPen(series.color, 2), Qt::NoBrush, 9));
        break;
    }
    // A series that goes on under a name already shown (a stream's buffer on each of a
    // VOB set's clocks) shares the first one's legend entry.
    for (const Entry& e : m_series)
        if (e.data.name == series.name)
        {
            g->removeFromLegend();
            break;
        }
    m_series.push_back({std::move(series), g});
}

void CPlotWidget::AddLevel(const QString& name, double y, const QColor& color)
{
    auto* line = new QCPItemStraightLine(this);
    line->point1->setCoords(0, y);
    line->point2->setCoords(1, y);
    line->setPen(QPen(color, 1, Qt::DashLine));
    auto* label = new QCPItemText(this);
    label->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
    label->position->setTypeY(QCPItemPosition::ptPlotCoords);
    label->position->setCoords(0.01, y);
    label->setPositionAlignment(Qt::AlignLeft | Qt::AlignBottom);
    label->setText(name);
    label->setColor(color);
}

void CPlotWidget::ShowAll()
{
    double lo = 0, hi = 0;
    bool any = false;
    for (const Entry& e : m_series)
    {
        if (e.data.count == 0)
            continue;
        const double a = e.data.x(0), b = e.data.x(e.data.count - 1);
        lo = any ? std::min(lo, a) : a;
        hi = any ? std::max(hi, b) : b;
        any = true;
    }
    if (!any)
    {
        lo = 0;
        hi = 1;
    }
    if (hi <= lo)
        hi = lo + 1;
    WrapLegend();
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst, true);
    const QCPRange before = xAxis->range();
    xAxis->setRange(lo, hi);  // decimates and fits the value axis
    // ... when it changes: new series over the same times as the old ones (another VOB
    // set of a disc, a file as long as the last) are decimated here, or never drawn.
    if (xAxis->range() == before)
        Redecimate();
    FitValues();
    replot();
}

void CPlotWidget::WrapLegend()
{
    // As many entries a row as the width has room for; the grid is laid out anew.
    const int columns = std::max(1, width() / kLegendItemWidth);
    if (legend->wrap() != columns)
    {
        legend->setWrap(columns);
        legend->setFillOrder(QCPLayoutGrid::foColumnsFirst, true);
    }
}

void CPlotWidget::FitValues()
{
    // The value axis spans what the visible series draw in the time range on show (and
    // the levels), from 0 unless something lies below it, with some room above.
    bool found = false;
    QCPRange values = QCPRange(0, 1);
    for (const Entry& e : m_series)
    {
        if (!e.graph->visible())
            continue;
        bool ok = false;
        const QCPRange r = e.graph->getValueRange(ok, QCP::sdBoth, xAxis->range());
        if (!ok)
            continue;
        values = found ? QCPRange(std::min(values.lower, r.lower), std::max(values.upper, r.upper)) : r;
        found = true;
    }
    for (int i = 0; i < itemCount(); ++i)
        if (auto* line = qobject_cast<QCPItemStraightLine*>(item(i)))
            values.expand(line->point1->coords().y());
    if (values.upper <= values.lower)
        values.upper = values.lower + 1;
    const double room = (values.upper - values.lower) * 0.08;
    yAxis->setRange(std::min(values.lower, 0.0), values.upper + room);
}

void CPlotWidget::OnLegendClick(QCPAbstractLegendItem* item)
{
    auto* entry = qobject_cast<QCPPlottableLegendItem*>(item);
    if (entry == nullptr)
        return;
    SetSeriesVisible(static_cast<size_t>(std::distance(
                         m_series.begin(), std::find_if(m_series.begin(), m_series.end(),
                                                        [&](const Entry& e) { return e.graph == entry->plottable(); }))),
                     !entry->plottable()->visible());
}

void CPlotWidget::SetSeriesVisible(size_t k, bool visible)
{
    if (k >= m_series.size())
        return;
    // With every series of its name: they share one legend entry.
    for (Entry& e : m_series)
    {
        if (e.data.name != m_series[k].data.name)
            continue;
        e.graph->setVisible(visible);
        if (QCPPlottableLegendItem* entry = legend->itemWithPlottable(e.graph))
            entry->setTextColor(visible ? QColor(Qt::black) : kHiddenText);
    }
    FitValues();
    replot();
}

bool CPlotWidget::IsSeriesVisible(size_t k) const
{
    return k < m_series.size() && m_series[k].graph->visible();
}

QRect CPlotWidget::LegendEntryRect(size_t k) const
{
    if (k >= m_series.size())
        return QRect();
    const QCPPlottableLegendItem* entry = legend->itemWithPlottable(m_series[k].graph);
    return entry ? entry->outerRect() : QRect();
}

void CPlotWidget::SetXRange(double lo, double hi)
{
    xAxis->setRange(lo, hi);
    replot();
}

void CPlotWidget::Redecimate()
{
    if (m_bRedecimating)
        return;
    m_bRedecimating = true;
    const QCPRange range = xAxis->range();
    // The axis rect takes its size only when the plot is drawn, which may be after this
    // (a plot on a hidden tab has never been drawn): the widget's width is always known
    // and is at most a few dozen columns more.
    const int columns = std::max(1, width());
    for (Entry& e : m_series)
    {
        const PlotSeries& s = e.data;
        inspector::DecimateMinMax(s.count, s.x, s.y, range.lower, range.upper, columns, m_scratch);
        QSharedPointer<QCPGraphDataContainer> data = e.graph->data();
        QVector<QCPGraphData> points(static_cast<qsizetype>(m_scratch.x.size()));
        for (size_t i = 0; i < m_scratch.x.size(); ++i)
            points[static_cast<qsizetype>(i)] = QCPGraphData(m_scratch.x[i], m_scratch.y[i]);
        data->set(points, true);
    }
    FitValues();
    m_bRedecimating = false;
}

int CPlotWidget::DrawnPoints(size_t k) const
{
    return k < m_series.size() ? m_series[k].graph->dataCount() : 0;
}

void CPlotWidget::resizeEvent(QResizeEvent* event)
{
    // Before the base class, which redraws at once.
    WrapLegend();
    Redecimate();
    QCustomPlot::resizeEvent(event);
}

// ---------------------------------------------------------------------------------
// Pointer
// ---------------------------------------------------------------------------------

bool CPlotWidget::Nearest(const QPointF& pos, size_t& seriesOut, size_t& pointOut) const
{
    double best = kPickRadius * kPickRadius + 1;
    const double lo = xAxis->pixelToCoord(pos.x() - kPickRadius);
    const double hi = xAxis->pixelToCoord(pos.x() + kPickRadius);
    for (size_t k = 0; k < m_series.size(); ++k)
    {
        const PlotSeries& s = m_series[k].data;
        if (!m_series[k].graph->visible() || s.count == 0)
            continue;
        // First point at or after lo, then every point up to hi (bounded, as a column
        // of a dense series may hold thousands of points).
        for (size_t i = inspector::LowerBound(s.count, s.x, lo), n = 0; i < s.count && n < 20000; ++i, ++n)
        {
            const double x = s.x(i);
            if (x > hi)
                break;
            const double dx = xAxis->coordToPixel(x) - pos.x();
            // An impulse is a line from 0 up to its value: near it anywhere is near.
            const double dy = s.style == PlotSeries::Impulses ? 0.0 : yAxis->coordToPixel(s.y(i)) - pos.y();
            const double d = dx * dx + dy * dy;
            if (d < best)
            {
                best = d;
                seriesOut = k;
                pointOut = i;
            }
        }
    }
    return best <= kPickRadius * kPickRadius;
}

void CPlotWidget::mouseMoveEvent(QMouseEvent* event)
{
    QCustomPlot::mouseMoveEvent(event);
    if (event->buttons() != Qt::NoButton)
        return;
    size_t k = 0, i = 0;
    if (Nearest(event->position(), k, i))
    {
        const PlotSeries& s = m_series[k].data;
        emit Hovered(s.describe ? s.describe(i)
                                : QStringLiteral("%1: %2 %3, %4 %5")
                                      .arg(s.name, xAxis->label())
                                      .arg(s.x(i), 0, 'f', 3)
                                      .arg(yAxis->label())
                                      .arg(s.y(i), 0, 'f', 3));
    }
    else
    {
        emit Hovered(QStringLiteral("%1 = %2, %3 = %4")
                         .arg(xAxis->label())
                         .arg(xAxis->pixelToCoord(event->position().x()), 0, 'f', 3)
                         .arg(yAxis->label())
                         .arg(yAxis->pixelToCoord(event->position().y()), 0, 'f', 0));
    }
}

void CPlotWidget::mousePressEvent(QMouseEvent* event)
{
    m_pressPos = event->pos();
    QCustomPlot::mousePressEvent(event);
}

void CPlotWidget::mouseReleaseEvent(QMouseEvent* event)
{
    QCustomPlot::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || (event->pos() - m_pressPos).manhattanLength() > 3)
        return;
    size_t k = 0, i = 0;
    if (!Nearest(event->position(), k, i))
        return;
    const PlotSeries& s = m_series[k].data;
    if (s.offset)
        emit ElementClicked(s.offset(i), s.size ? s.size(i) : 0, s.stream);
}

void CPlotWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    QCustomPlot::mouseDoubleClickEvent(event);
    ShowAll();
}

// ---------------------------------------------------------------------------------
// Export
// ---------------------------------------------------------------------------------

bool CPlotWidget::Export(const QString& path, const QString& title, int width, int height)
{
    if (width <= 0 || height <= 0)
    {
        width = this->width();
        height = this->height();
    }
    // A plot squeezed out of sight (a splitter pulled over it) is drawn at a size of its
    // own: the picture is what is asked for, not the sliver on screen.
    if (width < kSmallestExport.width() || height < kSmallestExport.height())
    {
        width = std::max(width, kSmallestExport.width());
        height = std::max(height, kSmallestExport.height());
    }
    // The picture names what it shows, in a title row that is there only for it.
    QCPTextElement* heading = nullptr;
    if (!title.isEmpty())
    {
        plotLayout()->insertRow(0);
        QFont bold = font();
        bold.setBold(true);
        heading = new QCPTextElement(this, title, bold);
        plotLayout()->addElement(0, 0, heading);
    }
    bool ok = false;
    if (QFileInfo(path).suffix().compare(QStringLiteral("svg"), Qt::CaseInsensitive) == 0)
    {
        QSvgGenerator generator;
        generator.setFileName(path);
        generator.setSize(QSize(width, height));
        generator.setViewBox(QRect(0, 0, width, height));
        generator.setTitle(title.isEmpty() ? xAxis->label() + QStringLiteral(" / ") + yAxis->label() : title);
        QCPPainter painter;
        if (painter.begin(&generator))
        {
            toPainter(&painter, width, height);
            painter.end();
            ok = QFileInfo(path).size() > 0;
        }
    }
    else
    {
        // Twice the size on screen, for print and for screens of a higher density.
        ok = savePng(path, width, height, 2.0);
    }
    if (heading)
    {
        plotLayout()->remove(heading);
        plotLayout()->simplify();
        replot();
    }
    return ok;
}
