// Which plotting library draws the inspector's series fast enough: Qt Charts or
// QCustomPlot, each fed with all points and with the points decimated to min/max per
// pixel column. The series have the sizes of the 1 GB benchmark stream: about a million
// access units (bit rate over time, picture sizes in coded order in three colours) and
// half a million packs (SCR against arrival time). Each figure is the median of a few
// full redraws of an 1200 x 400 plot offscreen, data hand-over included.
//   QT_QPA_PLATFORM=offscreen varnodel-plotbench [UNITS] [PACKS]

#include "app/inspector/Decimate.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

namespace
{

constexpr int kWidth = 1200, kHeight = 400;

struct Series
{
    std::vector<double> x, y;
};

struct Data
{
    Series bitrate;     // per unit: time, bit rate
    Series pictures[3]; // I, P, B: coded index, size
    Series scr;         // per pack: arrival time, SCR
};

Data MakeData(size_t units, size_t packs)
{
    Data d;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    double rate = 6e6;
    d.bitrate.x.reserve(units);
    d.bitrate.y.reserve(units);
    for (size_t i = 0; i < units; ++i)
    {
        rate = std::clamp(rate + noise(rng) * 2e5, 1e6, 9.8e6);
        d.bitrate.x.push_back(i / 25.0);
        d.bitrate.y.push_back(rate);
        const int type = i % 12 == 0 ? 0 : (i % 3 == 0 ? 1 : 2);
        const double base = type == 0 ? 90000 : type == 1 ? 40000 : 15000;
        d.pictures[type].x.push_back(static_cast<double>(i));
        d.pictures[type].y.push_back(base * (1.0 + 0.3 * noise(rng)));
    }
    for (size_t i = 0; i < packs; ++i)
    {
        const double arrival = i * 2048.0 / 1260000.0;
        d.scr.x.push_back(arrival);
        d.scr.y.push_back(arrival + 0.0005 * noise(rng));
    }
    return d;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double TimeMs(const std::function<void()>& f, int repeats)
{
    std::vector<double> ms;
    for (int i = 0; i < repeats; ++i)
    {
        QElapsedTimer t;
        t.start();
        f();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    return Median(ms);
}

// What one plot shows: its series and whether they are lines or dots.
struct PlotCase
{
    const char* name;
    std::vector<const Series*> series;
    bool scatter;
};

void Report(const char* lib, const char* plot, const char* mode, size_t points, double ms)
{
    std::printf("%-12s %-14s %-10s %9zu points  %9.1f ms\n", lib, plot, mode, points, ms);
    std::fflush(stdout);
}

// ---------------------------------------------------------------------------------
// QCustomPlot
// ---------------------------------------------------------------------------------

void BenchQcp(const PlotCase& pc, bool decimate, int repeats)
{
    QCustomPlot plot;
    plot.resize(kWidth, kHeight);
    plot.setNotAntialiasedElements(QCP::aeAll);
    double x0 = 1e300, x1 = -1e300;
    size_t total = 0;
    for (const Series* s : pc.series)
    {
        QCPGraph* g = plot.addGraph();
        if (pc.scatter)
        {
            g->setLineStyle(QCPGraph::lsNone);
            g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 2));
        }
        x0 = std::min(x0, s->x.front());
        x1 = std::max(x1, s->x.back());
        total += s->x.size();
    }
    plot.xAxis->setRange(x0, x1);
    plot.yAxis->setRange(0, 1.2e7);
    auto feed = [&](double lo, double hi) {
        const int columns = plot.axisRect()->width();
        inspector::Decimated dec;
        for (size_t k = 0; k < pc.series.size(); ++k)
        {
            const Series* s = pc.series[k];
            if (decimate)
            {
                inspector::DecimateMinMax(s->x, s->y, lo, hi, columns, dec);
                plot.graph(static_cast<int>(k))->setData(QVector<double>(dec.x.begin(), dec.x.end()),
                                                         QVector<double>(dec.y.begin(), dec.y.end()), true);
            }
            else
            {
                plot.graph(static_cast<int>(k))->setData(QVector<double>(s->x.begin(), s->x.end()),
                                                         QVector<double>(s->y.begin(), s->y.end()), true);
            }
        }
    };
    // Redraw with the data already handed over (a repaint), and after a zoom to the
    // middle tenth (decimated plots take their points anew).
    feed(x0, x1);
    const double full = TimeMs([&] { plot.replot(QCustomPlot::rpImmediateRefresh); }, repeats);
    const double zoom = TimeMs(
        [&] {
            const double lo = x0 + (x1 - x0) * 0.45, hi = x0 + (x1 - x0) * 0.55;
            plot.xAxis->setRange(lo, hi);
            if (decimate)
                feed(lo, hi);
            plot.replot(QCustomPlot::rpImmediateRefresh);
        },
        repeats);
    const double load = TimeMs(
        [&] {
            plot.xAxis->setRange(x0, x1);
            feed(x0, x1);
            plot.replot(QCustomPlot::rpImmediateRefresh);
        },
        repeats);
    const char* mode = decimate ? "min/max" : "all";
    Report("QCustomPlot", pc.name, mode, total, full);
    std::printf("%-12s %-14s %-10s %9s         %9.1f ms (zoom)\n", "", "", "", "", zoom);
    std::printf("%-12s %-14s %-10s %9s         %9.1f ms (new data)\n", "", "", "", "", load);
}

// ---------------------------------------------------------------------------------
// Qt Charts
// ---------------------------------------------------------------------------------

void BenchCharts(const PlotCase& pc, bool decimate, int repeats)
{
    auto* chart = new QChart;
    chart->legend()->hide();
    QChartView view(chart);
    view.resize(kWidth, kHeight);
    auto* ax = new QValueAxis;
    auto* ay = new QValueAxis;
    chart->addAxis(ax, Qt::AlignBottom);
    chart->addAxis(ay, Qt::AlignLeft);
    double x0 = 1e300, x1 = -1e300;
    size_t total = 0;
    std::vector<QXYSeries*> xy;
    for (const Series* s : pc.series)
    {
        QXYSeries* series = nullptr;
        if (pc.scatter)
        {
            auto* sc = new QScatterSeries;
            sc->setMarkerSize(2);
            series = sc;
        }
        else
            series = new QLineSeries;
        chart->addSeries(series);
        series->attachAxis(ax);
        series->attachAxis(ay);
        xy.push_back(series);
        x0 = std::min(x0, s->x.front());
        x1 = std::max(x1, s->x.back());
        total += s->x.size();
    }
    ax->setRange(x0, x1);
    ay->setRange(0, 1.2e7);
    auto feed = [&](double lo, double hi) {
        const int columns = static_cast<int>(chart->plotArea().width());
        inspector::Decimated dec;
        for (size_t k = 0; k < pc.series.size(); ++k)
        {
            const Series* s = pc.series[k];
            QList<QPointF> points;
            if (decimate)
            {
                inspector::DecimateMinMax(s->x, s->y, lo, hi, std::max(columns, 1), dec);
                points.reserve(static_cast<qsizetype>(dec.x.size()));
                for (size_t i = 0; i < dec.x.size(); ++i)
                    points.append(QPointF(dec.x[i], dec.y[i]));
            }
            else
            {
                points.reserve(static_cast<qsizetype>(s->x.size()));
                for (size_t i = 0; i < s->x.size(); ++i)
                    points.append(QPointF(s->x[i], s->y[i]));
            }
            xy[k]->replace(points);
        }
    };
    feed(x0, x1);
    view.grab();  // lays the chart out once
    const double full = TimeMs([&] { view.grab(); }, repeats);
    const double zoom = TimeMs(
        [&] {
            const double lo = x0 + (x1 - x0) * 0.45, hi = x0 + (x1 - x0) * 0.55;
            ax->setRange(lo, hi);
            if (decimate)
                feed(lo, hi);
            view.grab();
        },
        repeats);
    const double load = TimeMs(
        [&] {
            ax->setRange(x0, x1);
            feed(x0, x1);
            view.grab();
        },
        repeats);
    const char* mode = decimate ? "min/max" : "all";
    Report("Qt Charts", pc.name, mode, total, full);
    std::printf("%-12s %-14s %-10s %9s         %9.1f ms (zoom)\n", "", "", "", "", zoom);
    std::printf("%-12s %-14s %-10s %9s         %9.1f ms (new data)\n", "", "", "", "", load);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const size_t units = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    const size_t packs = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 500000;
    const Data d = MakeData(units, packs);

    const PlotCase cases[] = {
        {"bit rate", {&d.bitrate}, false},
        {"picture sizes", {&d.pictures[0], &d.pictures[1], &d.pictures[2]}, true},
        {"SCR/arrival", {&d.scr}, false},
    };
    for (const PlotCase& pc : cases)
    {
        BenchQcp(pc, true, 5);
        BenchQcp(pc, false, 3);
        // Qt Charts draws each scatter marker as an item of its own: even the decimated
        // picture sizes take seconds, so those get one round and all points none.
        BenchCharts(pc, true, pc.scatter ? 1 : 5);
        if (!pc.scatter)
            BenchCharts(pc, false, 1);
    }
    return 0;
}
