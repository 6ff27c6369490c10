// The desktop program on a large stream: how long the tree takes to show after a full
// analysis, to expand "Packet structure" and scroll to its end, and how the window keeps
// up during the run (the longest wait between two timer ticks of 10 ms, and the time
// from a click on "stop" to the end of the run).
//   QT_QPA_PLATFORM=offscreen varnodel-guibench FILE [STOP_AFTER_MS]

#include "app/CAnalyzerDlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace
{

double Ms(const QElapsedTimer& t)
{
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// Repaints the view now and waits until the paint is through.
void PaintNow(QWidget& w)
{
    w.repaint();
    QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: varnodel-guibench FILE [STOP_AFTER_MS]\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    const int stopAfter = argc > 2 ? std::atoi(argv[2]) : 0;

    CAnalyzerDlg dlg;
    dlg.resize(dlg.size());
    dlg.show();
    QCoreApplication::processEvents();
    dlg.m_nMaxPackets = 0;
    dlg.m_strFileName = file;
    dlg.UpdateData(false);

    // Timer ticks every 10 ms while the run goes on: their lateness is what a user feels.
    QElapsedTimer tick;
    double worstGap = 0;
    int ticks = 0;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (ticks++ > 0)
            worstGap = std::max(worstGap, Ms(tick));
        tick.restart();
    });

    QElapsedTimer stopClock;
    double stopLatency = -1;
    if (stopAfter > 0)
        QTimer::singleShot(stopAfter, [&] {
            stopClock.start();
            QTest::mouseClick(&dlg.m_btnStop, Qt::LeftButton);
        });

    timer.start();
    tick.start();
    QElapsedTimer run;
    run.start();
    dlg.OnAnalyze();
    const double runMs = Ms(run);
    if (stopClock.isValid())
        stopLatency = Ms(stopClock);
    timer.stop();

    // After the run: the tree shows, then "Packet structure" opens and scrolls to its end.
    QElapsedTimer t;
    t.start();
    PaintNow(dlg.m_treeView);
    const double showMs = Ms(t);

    CResultTreeModel& model = dlg.Model();
    const QModelIndex root = model.index(0, 0);
    dlg.m_treeView.expand(root);
    PaintNow(dlg.m_treeView);
    QModelIndex packets;
    for (int r = 0; r < model.rowCount(root); ++r)
        if (model.data(model.index(r, 0, root)).toString() == "Packet structure")
            packets = model.index(r, 0, root);
    t.restart();
    dlg.m_treeView.expand(packets);
    PaintNow(dlg.m_treeView);
    const double expandMs = Ms(t);
    t.restart();
    dlg.m_treeView.scrollToBottom();
    PaintNow(dlg.m_treeView);
    const double scrollMs = Ms(t);

    std::printf("lines            %u\n", dlg.ResultTree().Count());
    std::printf("packs shown      %d\n", model.rowCount(packets));
    std::printf("run              %.0f ms%s\n", runMs, stopAfter > 0 ? " (stopped)" : "");
    std::printf("worst tick gap   %.1f ms during the run (timer of 10 ms)\n", worstGap);
    if (stopLatency >= 0)
        std::printf("stop answered    %.1f ms after the click\n", stopLatency);
    std::printf("tree shown       %.1f ms after the run\n", showMs);
    std::printf("expand packets   %.1f ms\n", expandMs);
    std::printf("scroll to end    %.1f ms\n", scrollMs);
    return 0;
}
