#pragma once
// One plot of the inspector, on QCustomPlot. The series stay where they are (the pass's
// columns, read through accessors); what reaches the library is only their min/max per
// pixel column of the range on show, taken anew whenever the range changes. Wheel zooms
// the time axis, a drag pans it, the value axis follows what is on show, a double click
// shows everything; the legend stands above the data and a click on an entry hides or
// shows its series. The pointer's nearest point is described by Hovered, and a click on
// a point reports its element's offset.

#include "app/inspector/Decimate.h"

#include <qcustomplot.h>

#include <QColor>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

struct PlotSeries
{
    QString name;
    QColor color;
    enum Style
    {
        Line,
        StepLine,
        Dots,
        Impulses,
        Marks
    } style = Line;
    Qt::PenStyle penStyle = Qt::SolidLine;
    size_t count = 0;
    std::function<double(size_t)> x, y;   // x ascending
    // The file offset and size of the element behind a point (for the click), and its
    // description (for the hover read-out); either may be empty.
    std::function<uint64_t(size_t)> offset;
    std::function<uint32_t(size_t)> size;
    std::function<QString(size_t)> describe;
    // The stream a point's element belongs to, when offset gives only its pack.
    uint16_t stream = 0;
};

class CPlotWidget : public QCustomPlot
{
    Q_OBJECT
public:
    explicit CPlotWidget(const QString& xLabel, const QString& yLabel, QWidget* parent = nullptr);
    ~CPlotWidget() override;

    void ClearSeries();
    void AddSeries(PlotSeries series);
    // A horizontal line across the whole plot (a size, a limit).
    void AddLevel(const QString& name, double y, const QColor& color);
    // Shows all data and redraws.
    void ShowAll();
    void SetXRange(double lo, double hi);

    // PNG (at twice the size given, or on screen) or SVG by the file's suffix, with title
    // above the plot; false when the file cannot be written.
    bool Export(const QString& path, const QString& title = QString(), int width = 0, int height = 0);

    // Series shown or hidden, as a click on their legend entry does it.
    void SetSeriesVisible(size_t k, bool visible);
    bool IsSeriesVisible(size_t k) const;
    // Where series k's legend entry is drawn (widget coordinates).
    QRect LegendEntryRect(size_t k) const;
    const PlotSeries& Series(size_t k) const { return m_series[k].data; }

    size_t SeriesCount() const { return m_series.size(); }
    // The points handed to the library for series k (for the tests and the benchmark).
    int DrawnPoints(size_t k) const;
    size_t DataPoints(size_t k) const { return k < m_series.size() ? m_series[k].data.count : 0; }

signals:
    void Hovered(const QString& text);
    void ElementClicked(quint64 offset, quint32 size, quint16 stream);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Redecimate();
    // The value axis to what the visible series draw in the time range on show.
    void FitValues();
    void WrapLegend();
    void OnLegendClick(QCPAbstractLegendItem* item);
    // The series and point nearest to a pixel, within a few pixels; false if none.
    bool Nearest(const QPointF& pos, size_t& series, size_t& point) const;

    struct Entry
    {
        PlotSeries data;
        QCPGraph* graph = nullptr;
    };
    std::vector<Entry> m_series;
    inspector::Decimated m_scratch;
    QPoint m_pressPos;
    bool m_bRedecimating = false;
};
