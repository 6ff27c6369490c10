// The inspector on a large stream: the pass of the stream model and the checks with the
// inspector's columns (what the worker thread does), the window's hand-over of the result
// (tables and plots filled), the redraw of each plot over the whole file, zoomed in to a
// tenth and back out (each time decimated anew), and the memory of the series.
//   QT_QPA_PLATFORM=offscreen varnodel-inspectbench FILE [RUNS]

#include "app/inspector/CInspectorWindow.h"
#include "app/inspector/CPlotWidget.h"
#include "app/inspector/InspectSource.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace
{

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Processor time of this process: on a shared machine it varies far less than the wall clock.
double CpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double TimeMs(const std::function<void()>& f, int runs)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i)
    {
        QElapsedTimer t;
        t.start();
        f();
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    return Median(ms);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: varnodel-inspectbench FILE [RUNS]\n");
        return 2;
    }
    const std::string path = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    // The worker's pass alone, as many times as asked.
    std::vector<double> pass, cpu;
    for (int i = 0; i < runs; ++i)
    {
        inspector::InspectResult result;
        std::atomic<bool> stop{false};
        std::atomic<int> percent{0};
        std::string error;
        QElapsedTimer t;
        t.start();
        const double cpu0 = CpuSeconds();
        if (!inspector::MakeModelSource()->Inspect(path, result, stop, percent, error))
        {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        pass.push_back(static_cast<double>(t.nsecsElapsed()) / 1e9);
        cpu.push_back(CpuSeconds() - cpu0);
    }
    std::printf("pass (model, checks, columns)   %8.3f s   cpu %.3f s\n", Median(pass), Median(cpu));

    // The window: pass and hand-over.
    CInspectorWindow window;
    window.resize(1400, 900);
    window.show();
    QCoreApplication::processEvents();
    QElapsedTimer t;
    t.start();
    window.Inspect(QString::fromLocal8Bit(path.c_str()));
    window.WaitForPass();
    const double total = static_cast<double>(t.nsecsElapsed()) / 1e9;
    std::printf("window pass and hand-over       %8.3f s   (hand-over %.3f s)\n", total, total - Median(pass));

    auto r = window.Result();
    const size_t units = r->units.Units();
    std::printf("access units %zu, packs %zu, PES time stamps %zu, findings %zu\n", units, r->packs.size(),
                r->stamps.size(), r->findings.size());
    std::printf("column store %.1f B per access unit\n",
                units ? static_cast<double>(r->units.MemoryBytes()) / static_cast<double>(units) : 0.0);
    size_t curves = 0;
    for (const inspector::BufferCurve& c : r->buffers)
        curves += c.time.size() * (sizeof(float) + sizeof(uint32_t));
    std::printf("packs %.1f MB, time stamps %.1f MB, buffer curves %.1f MB\n",
                r->packs.size() * 20.0 / 1e6, r->stamps.size() * 18.0 / 1e6, curves / 1e6);

    for (int p = 0; p < 4; ++p)
    {
        CPlotWidget* plot = window.Plot(p);
        window.PlotTabs()->setCurrentIndex(p);
        QCoreApplication::processEvents();
        const QCPRange all = plot->xAxis->range();
        const double full = TimeMs([&] { plot->replot(QCustomPlot::rpImmediateRefresh); }, 5);
        const double zoom = TimeMs(
            [&] {
                const double w = all.size() / 10;
                plot->xAxis->setRange(all.center() - w / 2, all.center() + w / 2);
                plot->replot(QCustomPlot::rpImmediateRefresh);
                plot->xAxis->setRange(all);
            },
            5);
        const double back = TimeMs(
            [&] {
                plot->xAxis->setRange(all.lower + all.size() / 3, all.upper);
                plot->xAxis->setRange(all);
                plot->replot(QCustomPlot::rpImmediateRefresh);
            },
            5);
        size_t points = 0;
        for (size_t k = 0; k < plot->SeriesCount(); ++k)
            points += static_cast<size_t>(plot->DrawnPoints(k));
        std::printf("plot %-14s redraw %6.1f ms, zoom to a tenth %6.1f ms, whole file again %6.1f ms (%zu series, %zu points drawn)\n",
                    qPrintable(window.PlotTabs()->tabText(p)), full, zoom, back, plot->SeriesCount(), points);
    }
    return 0;
}
