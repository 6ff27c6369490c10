// The inspector: a pass over real stream bytes into its tables, plots and exports; the
// worker's cancel and error paths; the link to the main dialog's tree; tree search.
#include "AppTestSupport.h"
#include "app/CAnalyzerDlg.h"
#include "app/inspector/CByteView.h"
#include "app/inspector/CInspectTables.h"
#include "app/inspector/CInspectorHooks.h"
#include "app/inspector/CInspectorWindow.h"
#include "app/inspector/CPlotWidget.h"
#include "app/inspector/CInspectWorker.h"
#include "app/inspector/CTreeSearchDlg.h"
#include "app/inspector/InspectCollector.h"
#include "model/Pipeline.h"
#include "app/inspector/Decimate.h"
#include "app/inspector/TreeSearch.h"
#include "support/TestFiles.h"

#include <QAbstractItemModelTester>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QRegularExpression>
#include <QtTest>

#include <random>
#include <thread>

namespace
{
// A DVD-like stream with a run of garbage in the middle: the model skips it and the
// checks report the lost sync there.
constexpr size_t kGarbageAt = 1000000, kGarbageLength = 3000;

Bytes DamagedStream()
{
    Bytes bytes = MakeSmallDvdStream(3 * 1024 * 1024);
    std::fill(bytes.begin() + kGarbageAt, bytes.begin() + kGarbageAt + kGarbageLength, uint8_t{0xFF});
    return bytes;
}

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

// A source that runs until it is told to stop.
class BlockingSource : public inspector::IInspectSource
{
public:
    std::atomic<bool> started{false};
    bool Inspect(const std::string&, inspector::InspectResult& result, const std::atomic<bool>& stop,
                 std::atomic<int>& percent, std::string&) override
    {
        started = true;
        percent = 37;
        while (!stop.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        result.stopped = true;
        return true;
    }
};

int FindingRows(const CInspectorWindow& w)
{
    return w.FindingsFilter()->rowCount();
}
}  // namespace

class InspectorTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { ClearSettings(); }

    void decimationKeepsEachColumnsExtremes()
    {
        std::mt19937 rng(3);
        std::vector<double> xs, ys;
        for (int i = 0; i < 200000; ++i)
        {
            xs.push_back(i * 0.01);
            ys.push_back(std::uniform_real_distribution<double>(-1000, 1000)(rng));
        }
        const double x0 = 100, x1 = 1500;
        const int columns = 700;
        inspector::Decimated out;
        inspector::DecimateMinMax(xs, ys, x0, x1, columns, out);
        QVERIFY(out.x.size() <= size_t(2 * columns + 2));
        QVERIFY(std::is_sorted(out.x.begin(), out.x.end()));
        // Per column, the lowest and highest value of all points are among those kept.
        std::vector<double> lo(columns, 1e300), hi(columns, -1e300), keptLo(columns, 1e300), keptHi(columns, -1e300);
        auto column = [&](double x) { return std::min(columns - 1, int((x - x0) * columns / (x1 - x0))); };
        for (size_t i = 0; i < xs.size(); ++i)
            if (xs[i] >= x0 && xs[i] <= x1)
            {
                lo[column(xs[i])] = std::min(lo[column(xs[i])], ys[i]);
                hi[column(xs[i])] = std::max(hi[column(xs[i])], ys[i]);
            }
        for (size_t i = 0; i < out.x.size(); ++i)
            if (out.x[i] >= x0 && out.x[i] <= x1)
            {
                keptLo[column(out.x[i])] = std::min(keptLo[column(out.x[i])], out.y[i]);
                keptHi[column(out.x[i])] = std::max(keptHi[column(out.x[i])], out.y[i]);
            }
        QCOMPARE(keptLo, lo);
        QCOMPARE(keptHi, hi);
        // The neighbours outside the range keep the line running to the edges.
        QVERIFY(out.x.front() < x0 && out.x.back() > x1);
    }

    void bufferCurveIsTheChecksOwnBufferModel()
    {
        // One pack: SCR 1 s, its SCR byte at offset 10, 2000 bytes/s (mux rate 40). A video
        // packet of 400 payload bytes at offset 100 (its last byte arrives at 1.2445 s), a
        // second of 600 at offset 600 (from 1.295 s to 1.5945 s); a picture of 700 bytes
        // decoded at 1.3 s, the last 300 bytes at 2 s.
        inspector::InspectResult r;
        model::CPipeline pipeline;
        inspector::InspectCollector c(r, pipeline);
        model::IModelSink& events = pipeline.Events();
        model::SystemHeaderEvent sys;
        sys.rateBound = 40;
        sys.videoBound = 1;
        sys.entryCount = 1;
        sys.entries[0] = {0xE0, 5000};
        model::PackEvent pack;
        pack.scr27 = 27000000;
        pack.scrByteOffset = 10;
        pack.muxRate = 40;
        events.OnPack(pack);
        events.OnSystemHeader(sys);
        model::PesEvent pes;
        pes.stream = 0xE0;
        pes.kind = model::Kind::Video;
        pes.hasPts = true;
        pes.pts27 = 2 * 27000000;
        pes.payloadOffset = 100;
        pes.payloadSize = 400;
        events.OnPes(pes);
        QCOMPARE(r.stamps.arrival[0], 1.045f);
        pes.hasPts = false;
        pes.payloadOffset = 600;
        pes.payloadSize = 600;
        pes.hasPstd = true;
        pes.pstdBufferBytes = 8192;
        events.OnPes(pes);
        model::AccessUnit unit;
        unit.stream = 0xE0;
        unit.kind = model::Kind::Video;
        unit.timed = unit.ptsCoded = true;
        unit.size = 700;
        unit.dts27 = unit.pts27 = 27000000 * 13 / 10;
        events.OnAccessUnit(unit);
        unit.index = 1;
        unit.esOffset = 700;
        unit.size = 300;
        unit.ptsCoded = false;
        unit.dts27 = unit.pts27 = 2 * 27000000;
        events.OnAccessUnit(unit);
        events.OnEnd({});

        QCOMPARE(r.buffers.size(), size_t(1));
        const inspector::BufferCurve& b = r.buffers[0];
        // The levels the findings are judged on: each run of bytes as it ends, the unit
        // leaving at its decoding time, when only the 411 bytes that came by then are
        // there (an underflow); the 300 bytes of the next unit after it.
        QCOMPARE(b.time, (std::vector<float>{1.2445f, 1.2995f, 1.3f, 1.3f, 1.5945f, 2.0f}));
        QCOMPARE(b.bytes, (std::vector<uint32_t>{400, 410, 411, 0, 300, 0}));
        // The system header's bound first, then what the packets signal.
        QCOMPARE(b.sizeBytes, (std::vector<uint32_t>{5000, 8192}));
        // The findings of that model (and the size above the system header's bound).
        QCOMPARE(r.findings.size(), size_t(2));
        QCOMPARE(QLatin1String(r.findings[0].check), QLatin1String("system-header-bound"));
        QCOMPARE(QLatin1String(r.findings[1].check), QLatin1String("pstd-underflow"));
        QCOMPARE(r.findings[1].time, 1.3);
        QCOMPARE(r.streams.size(), size_t(1));
        QCOMPARE(r.units.Units(), size_t(2));
    }

    void aNewPassStopsTheOneUnderWay()
    {
        auto blocking = std::make_shared<BlockingSource>();
        CInspectWorker worker(blocking);
        QSignalSpy finished(&worker, &CInspectWorker::Finished);
        worker.Start(QStringLiteral("/first"));
        QTRY_VERIFY(blocking->started.load());
        // The second start stops and ends the first; both report, in order, and the first
        // says it was stopped.
        worker.Start(QStringLiteral("/second"));
        QCOMPARE(finished.size(), 1);
        auto first = finished[0][0].value<std::shared_ptr<const inspector::InspectResult>>();
        QVERIFY(first->stopped);
        QCOMPARE(first->path, std::string("/first"));
        worker.Cancel();
        QTRY_COMPARE(finished.size(), 2);
        QCOMPARE(finished[1][0].value<std::shared_ptr<const inspector::InspectResult>>()->path, std::string("/second"));
        QVERIFY(!worker.IsRunning());
    }

    void passFillsTablesPlotsAndBytes()
    {
        TempDir dir;
        const std::string path = dir.Write("damaged.mpg", DamagedStream());
        CInspectorWindow w;
        w.show();
        w.Inspect(Q(path));
        w.WaitForPass();
        auto r = w.Result();
        QVERIFY(r && !r->stopped && w.Message().isEmpty());

        QAbstractItemModelTester streamsTester(w.StreamsModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester filterTester(w.FindingsFilter(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(w.StreamsModel()->rowCount(), 2);
        QCOMPARE(w.StreamsModel()->index(0, CStreamsModel::ColStream).data().toString(), QStringLiteral("0xE0"));
        QVERIFY(w.StreamsModel()->index(0, CStreamsModel::ColUnits).data().toULongLong() > 10);

        // The garbage is found where it is, and the summary counts it.
        int syncLost = -1;
        for (int row = 0; row < w.FindingsModel()->rowCount(); ++row)
            if (w.FindingsModel()->index(row, CFindingsModel::ColCheck).data().toString() == QLatin1String("sync-lost"))
                syncLost = row;
        QVERIFY(syncLost >= 0);
        const checks::Finding* f = w.FindingsModel()->FindingAt(syncLost);
        QVERIFY(f->offset >= kGarbageAt - 2048 && f->offset <= kGarbageAt + kGarbageLength);
        QVERIFY(w.SummaryLabel()->text().contains(QStringLiteral("%1 error").arg(r->errors)));

        // Filters: by severity, check and stream; sorting by pack keeps every row.
        const int all = FindingRows(w);
        w.FindingsFilter()->SetSeverityShown(checks::Severity::Error, false);
        QCOMPARE(FindingRows(w), all - int(std::count_if(r->findings.begin(), r->findings.end(), [](auto& x) {
                                     return x.severity == checks::Severity::Error;
                                 })));
        w.FindingsFilter()->SetSeverityShown(checks::Severity::Error, true);
        w.FindingsFilter()->SetCheck(QStringLiteral("sync-lost"));
        QVERIFY(FindingRows(w) >= 1);
        for (int row = 0; row < FindingRows(w); ++row)
            QCOMPARE(w.FindingsFilter()->index(row, CFindingsModel::ColCheck).data().toString(), QStringLiteral("sync-lost"));
        w.FindingsFilter()->SetCheck(QString());
        w.FindingsFilter()->SetStream(QStringLiteral("0xAB"));
        QCOMPARE(FindingRows(w), 0);
        w.FindingsFilter()->SetStream(QString());
        w.FindingsView()->sortByColumn(CFindingsModel::ColPack, Qt::DescendingOrder);
        QCOMPARE(FindingRows(w), all);
        for (int row = 1; row < all; ++row)
            QVERIFY(w.FindingsFilter()->index(row - 1, CFindingsModel::ColPack).data().toUInt() >=
                    w.FindingsFilter()->index(row, CFindingsModel::ColPack).data().toUInt());

        // Selecting the finding shows its bytes and reports the pack that holds them.
        QSignalSpy packs(&w, &CInspectorWindow::PackSelected);
        w.FindingsView()->setCurrentIndex(w.FindingsFilter()->mapFromSource(w.FindingsModel()->index(syncLost, 0)));
        QCOMPARE(w.ByteView()->HighlightStart(), f->offset);
        QCOMPARE(packs.size(), 1);
        QCOMPARE(packs[0][0].toULongLong(), r->packs.offset[r->packs.PackAt(f->offset)]);

        // Every plot has data, and no series hands the library more than two points per
        // pixel column (and one on either side), also for plots on tabs never shown.
        for (int p = 0; p < 4; ++p)
        {
            CPlotWidget* plot = w.Plot(p);
            QVERIFY2(plot->SeriesCount() > 0, qPrintable(w.PlotTabs()->tabText(p)));
            for (size_t k = 0; k < plot->SeriesCount(); ++k)
            {
                QVERIFY(plot->DrawnPoints(k) <= 2 * plot->width() + 2);
                // ... yet the buffer curves, drawn on a tab never shown, keep their
                // shape (squeezed into one column they would leave two points).
                if (p == 2)
                    QVERIFY(plot->DataPoints(k) < 200 || plot->DrawnPoints(k) > 50);
            }
        }
        QVERIFY(w.GoToOffset(QStringLiteral("0x800")));
        QCOMPARE(w.ByteView()->HighlightStart(), quint64(0x800));
        QVERIFY(!w.GoToOffset(QStringLiteral("99999999999")));
    }

    void exportsRoundTrip()
    {
        TempDir dir;
        const std::string path = dir.Write("damaged.mpg", DamagedStream());
        CInspectorWindow w;
        w.Inspect(Q(path));
        w.WaitForPass();
        auto r = w.Result();

        const QString json = Q(dir.File("findings.json"));
        QVERIFY(w.ExportFindings(json));
        QFile jf(json);
        QVERIFY(jf.open(QIODevice::ReadOnly));
        const QJsonObject report = QJsonDocument::fromJson(jf.readAll()).object();
        QCOMPARE(report.value(QStringLiteral("packs")).toInteger(), qint64(r->packs.size()));
        QCOMPARE(report.value(QStringLiteral("errors")).toInteger(), qint64(r->errors));
        const QJsonArray findings = report.value(QStringLiteral("findings")).toArray();
        QCOMPARE(findings.size(), qsizetype(r->findings.size()));
        for (qsizetype i = 0; i < findings.size(); ++i)
            QCOMPARE(findings[i].toObject().value(QStringLiteral("offset")).toInteger(), qint64(r->findings[size_t(i)].offset));
        QCOMPARE(report.value(QStringLiteral("streams")).toArray().size(), qsizetype(r->streams.size()));

        const QString units = Q(dir.File("units.csv"));
        QVERIFY(w.ExportUnits(units));
        QFile uf(units);
        QVERIFY(uf.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = uf.readAll().split('\n');
        QCOMPARE(lines.first(), QByteArray("stream,index,type,offset,pack,size,pts,dts,derived,pts_90k,dts_90k"));
        QCOMPARE(size_t(lines.size() - 2), r->units.Units());  // header, and the empty piece after the last line end
        const model::CUnitSeries& first = *r->units.Series().front();
        const QList<QByteArray> row = lines[1].split(',');
        QCOMPARE(row[3].toULongLong(), first.Offset(0));
        QCOMPARE(row[5].toUInt(), first.Size(0));

        QVERIFY(w.ExportStreams(Q(dir.File("streams.csv"))));
        QVERIFY(w.ExportPlot(0, Q(dir.File("rate.png"))));
        // Twice the size on screen.
        QCOMPARE(QImage(Q(dir.File("rate.png"))).size(), w.Plot(0)->size() * 2);
        // A plot squeezed to nothing on screen still gives a picture.
        w.Plot(1)->resize(0, 0);
        QVERIFY(w.ExportPlot(1, Q(dir.File("stamps.png"))));
        QVERIFY(QImage(Q(dir.File("stamps.png"))).width() >= 480);
        QVERIFY(w.ExportPlot(3, Q(dir.File("pictures.svg"))));
        QFile svg(Q(dir.File("pictures.svg")));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        const QByteArray drawing = svg.readAll();
        QVERIFY(drawing.contains("<svg"));
        // Titled with the file and the plot.
        QVERIFY(drawing.contains("<title>damaged.mpg: Picture sizes</title>"));
        // A folder that does not exist: a message in the window, no file.
        QVERIFY(!w.ExportFindings(Q(dir.File("no/such/folder.json"))));
        QVERIFY(w.Message().contains(QStringLiteral("Cannot write")));
    }

    void cancelAndUnreadableFiles()
    {
        auto source = std::make_shared<BlockingSource>();
        CInspectorWindow w(source);
        w.show();
        w.Inspect(QStringLiteral("/any/file"));
        QTRY_VERIFY(source->started.load());
        // The window keeps handling its events while the pass runs.
        QTRY_COMPARE(w.ProgressBar()->value(), 37);
        QVERIFY(w.CancelButton()->isVisible());
        QTest::mouseClick(w.CancelButton(), Qt::LeftButton);
        QTRY_VERIFY(!w.IsRunning());
        QVERIFY(w.Result() && w.Result()->stopped);
        QVERIFY(w.SummaryLabel()->text().contains(QStringLiteral("cancelled")));
        QVERIFY(!w.CancelButton()->isVisible());

        // An unreadable file after a good pass: a clear message, and the good pass stays.
        TempDir dir;
        const std::string good = dir.Write("good.mpg", MakeSmallDvdStream(512 * 1024));
        CInspectorWindow real;
        real.Inspect(Q(good));
        real.WaitForPass();
        const auto shown = real.Result();
        const int rows = real.StreamsModel()->rowCount();
        for (const std::string& bad : {dir.File("missing.mpg"), dir.Path()})
        {
            real.Inspect(Q(bad));
            real.WaitForPass();
            QVERIFY2(real.Message().contains(QStringLiteral("Cannot open input file")), qPrintable(real.Message()));
            QCOMPARE(real.Result(), shown);
            QCOMPARE(real.StreamsModel()->rowCount(), rows);
            QCOMPARE(real.FilePath(), Q(good));
        }
    }

    void layoutIsKeptInTheSettings()
    {
        {
            CInspectorWindow w;
            w.show();
            w.resize(900, 640);
            w.PlotTabs()->setCurrentIndex(2);
            w.TableTabs()->setCurrentIndex(1);
            w.close();
        }
        CInspectorWindow again;
        QCOMPARE(again.size(), QSize(900, 640));
        QCOMPARE(again.PlotTabs()->currentIndex(), 2);
        QCOMPARE(again.TableTabs()->currentIndex(), 1);
    }

    void tablesGiveTheCodecsPropertiesAndWholeFindings()
    {
        TempDir dir;
        const std::string path = dir.Write("damaged.mpg", DamagedStream());
        CInspectorWindow w;
        w.Inspect(Q(path));
        w.WaitForPass();
        const CStreamsModel& streams = *w.StreamsModel();
        auto cell = [&](int row, int column) { return streams.index(row, column).data().toString(); };
        // The writer's stream: 720x576 at 25 frames, MP2 audio at 48 kHz, 224 kbit/s stereo.
        QCOMPARE(cell(0, CStreamsModel::ColResolution), QStringLiteral("720x576"));
        QCOMPARE(cell(0, CStreamsModel::ColFrameRate), QStringLiteral("25.000 fps"));
        QVERIFY(!cell(0, CStreamsModel::ColAspect).isEmpty());
        QVERIFY(cell(0, CStreamsModel::ColProfile).startsWith(QStringLiteral("MP@ML 4:2:0")));
        QVERIFY(cell(0, CStreamsModel::ColGop).contains(QStringLiteral("GOPs")));
        QCOMPARE(cell(1, CStreamsModel::ColSampleRate), QStringLiteral("48000 Hz"));
        QCOMPARE(cell(1, CStreamsModel::ColChannels), QStringLiteral("stereo"));
        QCOMPARE(cell(1, CStreamsModel::ColCodedRate), QStringLiteral("224.0 kbit/s"));
        QCOMPARE(cell(1, CStreamsModel::ColResolution), QString());
        // The rates are those of the stream list, and the whole list line is the tool tip.
        for (int row = 0; row < streams.rowCount(); ++row)
        {
            const model::StreamSummary& s = w.Result()->streams[size_t(row)];
            QCOMPARE(cell(row, CStreamsModel::ColBitrateAvg),
                     QString::number(s.AverageBitsPerSecond() / 1000.0, 'f', 1) + QStringLiteral(" kbit/s"));
            QVERIFY(s.PeakBitsPerSecond() >= s.AverageBitsPerSecond());
            QCOMPARE(streams.index(row, 0).data(Qt::ToolTipRole).toString(),
                     Q(model::StreamLine(s)).simplified());
        }
        for (int column = 0; column < CStreamsModel::ColumnCount; ++column)
            QVERIFY(!streams.headerData(column, Qt::Horizontal, Qt::ToolTipRole).toString().isEmpty());

        // Findings: the count in a column of its own (sorted as a number), the whole
        // message with it in the tool tip.
        const CFindingsModel& findings = *w.FindingsModel();
        int repeated = -1;
        for (int row = 0; row < findings.rowCount(); ++row)
        {
            const checks::Finding* f = findings.FindingAt(row);
            QCOMPARE(findings.index(row, CFindingsModel::ColCount).data().toULongLong(), f->count);
            const QString tip = findings.index(row, CFindingsModel::ColSeverity).data(Qt::ToolTipRole).toString();
            QVERIFY(tip.contains(Q(f->message).toHtmlEscaped()));
            if (f->count > 1)
            {
                repeated = row;
                QVERIFY(tip.contains(QStringLiteral("(%1 times)").arg(f->count)));
            }
        }
        QVERIFY(repeated >= 0);
        w.FindingsView()->sortByColumn(CFindingsModel::ColCount, Qt::DescendingOrder);
        QCOMPARE(w.FindingsFilter()->index(0, CFindingsModel::ColCount).data().toULongLong(),
                 std::max_element(w.Result()->findings.begin(), w.Result()->findings.end(),
                                  [](const auto& a, const auto& b) { return a.count < b.count; })
                     ->count);
    }

    void plotsKeepTheirLegendOffTheDataAndFollowTheRange()
    {
        // mplex's stream: its decoder buffers are modelled, so they stay within their sizes.
        TempDir dir;
        const std::string path = MakeMplexDvdStream(dir);
        QVERIFY(!path.empty());
        CInspectorWindow w;
        w.show();
        w.Inspect(Q(path));
        w.WaitForPass();
        for (int p = 0; p < 4; ++p)
        {
            w.PlotTabs()->setCurrentIndex(p);
            CPlotWidget* plot = w.Plot(p);
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            plot->replot();
            // The legend stands apart from the data.
            QVERIFY2(!plot->legend->outerRect().intersects(plot->axisRect()->outerRect()),
                     qPrintable(w.PlotTabs()->tabText(p)));
            // Every point has a read-out with a name and units.
            for (size_t k = 0; k < plot->SeriesCount(); ++k)
                QVERIFY2(plot->Series(k).describe, qPrintable(plot->Series(k).name));
        }
        // A click on a legend entry hides its series, a second shows it again.
        CPlotWidget* rate = w.Plot(0);
        w.PlotTabs()->setCurrentIndex(0);
        rate->replot();
        const QPoint entry = rate->LegendEntryRect(0).center();
        QTest::mouseClick(rate, Qt::LeftButton, Qt::NoModifier, entry);
        QVERIFY(!rate->IsSeriesVisible(0));
        QTest::mouseClick(rate, Qt::LeftButton, Qt::NoModifier, entry);
        QVERIFY(rate->IsSeriesVisible(0));

        // The value axis follows the time range: zoomed into the audio alone, it spans the
        // audio's rate, not the video's.
        for (size_t k = 0; k < rate->SeriesCount(); ++k)
            rate->SetSeriesVisible(k, rate->Series(k).name.startsWith(QStringLiteral("0xC0")));
        rate->SetXRange(1, 5);
        QVERIFY2(rate->yAxis->range().upper < 400000, qPrintable(QString::number(rate->yAxis->range().upper)));
        QVERIFY(rate->yAxis->range().upper > 224000);

        // Buffers as a share of their size: the audio buffer (4 KB) fills it as visibly
        // as the video one; the read-out gives bytes and size.
        CPlotWidget* buffers = w.Plot(2);
        QVERIFY(buffers->SeriesCount() >= 2);
        for (size_t k = 0; k < buffers->SeriesCount(); ++k)
        {
            const PlotSeries& s = buffers->Series(k);
            if (s.style != PlotSeries::StepLine)
                continue;
            double most = 0;
            for (size_t i = 0; i < s.count; ++i)
                most = std::max(most, s.y(i));
            QVERIFY2(most > 30 && most <= 100, qPrintable(s.name + QStringLiteral(" %1").arg(most)));
            QVERIFY(QRegularExpression(QStringLiteral("^0x[0-9A-F]{2} \\w+ buffer [0-9,]+ of [0-9,]+ bytes at [0-9.]+ s$"))
                        .match(s.describe(s.count / 2))
                        .hasMatch());
        }
        // Time stamps as lead times: the data of a clean stream arrives ahead of its time,
        // by less than a second.
        CPlotWidget* stamps = w.Plot(1);
        for (size_t k = 0; k < stamps->SeriesCount(); ++k)
        {
            const PlotSeries& s = stamps->Series(k);
            if (s.stream == 0 || !s.name.endsWith(QStringLiteral("PTS - arrival")))
                continue;
            for (size_t i = 0; i < s.count; i += 7)
                QVERIFY2(s.y(i) > 0 && s.y(i) < 1.0, qPrintable(s.describe(i)));
        }
    }

    void aPointIsPickedFromAFewPixelsAway()
    {
        CPlotWidget plot(QStringLiteral("time (s)"), QStringLiteral("bytes"));
        plot.resize(400, 300);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        PlotSeries s;
        s.name = QStringLiteral("one");
        s.style = PlotSeries::Dots;
        s.count = 3;
        s.x = [](size_t i) { return double(i); };
        s.y = [](size_t i) { return 10.0 * double(i + 1); };
        s.offset = [](size_t i) { return uint64_t(1000 + i); };
        s.describe = [](size_t i) { return QStringLiteral("point %1").arg(i); };
        plot.AddSeries(s);
        plot.ShowAll();
        QSignalSpy hovered(&plot, &CPlotWidget::Hovered);
        QSignalSpy clicked(&plot, &CPlotWidget::ElementClicked);
        const QPoint at(int(plot.xAxis->coordToPixel(1)), int(plot.yAxis->coordToPixel(20)));
        QTest::mouseMove(&plot, at + QPoint(6, -5));
        QTRY_VERIFY(!hovered.isEmpty());
        QCOMPARE(hovered.last()[0].toString(), QStringLiteral("point 1"));
        QTest::mouseClick(&plot, Qt::LeftButton, Qt::NoModifier, at + QPoint(-5, 6));
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(clicked[0][0].toULongLong(), quint64(1001));
        // Far from every point: the pointer's own place, with the axes' names.
        QTest::mouseMove(&plot, at + QPoint(60, 60));
        QTRY_VERIFY(hovered.last()[0].toString().startsWith(QStringLiteral("time (s) = ")));
    }

    void findingSelectsTheTreeLineOfItsPack()
    {
        TempDir dir;
        const std::string path = dir.Write("damaged.mpg", DamagedStream());
        CAnalyzerDlg dlg;
        dlg.show();
        dlg.m_nMaxPackets = 0;
        dlg.m_strFileName = Q(path);
        dlg.UpdateData(false);
        dlg.OnAnalyze();
        CInspectorHooks& hooks = *dlg.Inspector();
        hooks.OnInspect();
        CInspectorWindow& w = hooks.Window();
        w.WaitForPass();
        auto r = w.Result();

        // A pack far into the file: its line opens and becomes the tree's current line.
        const uint32_t pack = uint32_t(r->packs.size() - 3);
        w.SelectBytes(r->packs.offset[pack] + 100, 10);
        const ItemId line = dlg.Model().LineOf(dlg.m_treeView.currentIndex());
        QCOMPARE(dlg.ResultTree().Format(line), LineFmt::PackNumber);
        QCOMPARE(line, hooks.PackLine(r->packs.offset[pack], true));
        for (ItemId p = dlg.ResultTree().Parent(line); p != kNoItem; p = dlg.ResultTree().Parent(p))
            QVERIFY(dlg.m_treeView.isExpanded(dlg.Model().IndexOf(p)));
        // Go to offset: the pack that holds the byte; none before the first pack.
        QCOMPARE(hooks.PackLine(r->packs.offset[pack] + 2047, false), line);
        // And back: a line under a pack shows that pack's bytes.
        dlg.m_treeView.setCurrentIndex(dlg.Model().IndexOf(dlg.ResultTree().Child(hooks.PackLine(r->packs.offset[5], true), 0)));
        QCOMPARE(w.ByteView()->HighlightStart(), r->packs.offset[5]);
    }

    void searchWalksTheTreeBothWaysAndWraps()
    {
        TempDir dir;
        const std::string path = dir.Write("dvd.mpg", MakeSmallDvdStream(1024 * 1024));
        CAnalyzerDlg dlg;
        dlg.show();
        dlg.m_nMaxPackets = 0;
        dlg.m_strFileName = Q(path);
        dlg.UpdateData(false);
        dlg.OnAnalyze();
        const CResultTree& tree = dlg.ResultTree();
        CResultTree::Reader reader(tree);
        // The walk visits every line once, in the order the tree shows them.
        std::vector<ItemId> order;
        tree.ForEachPreOrder([&](ItemId item, uint32_t) { order.push_back(item); });
        ItemId at = kNoItem;
        for (ItemId expected : order)
            QCOMPARE(at = treesearch::NextLine(reader, at), expected);
        QCOMPARE(treesearch::NextLine(reader, at), kNoItem);
        for (auto it = order.rbegin() + 1; it != order.rend(); ++it)
            QCOMPARE(at = treesearch::PreviousLine(reader, at), *it);

        // "PACK #3" and "pack #30": case is ignored; backwards from the first line wraps
        // to the last match.
        std::atomic<bool> stop{false};
        std::atomic<uint32_t> visited{0};
        const ItemId pack3 = treesearch::FindLine(tree, kNoItem, "pack #3", true, stop, visited);
        QCOMPARE(Q(LineText(tree, pack3)), QStringLiteral("PACK #3"));
        ItemId last = kNoItem;
        for (ItemId item : order)
            if (Q(LineText(tree, item)).contains(QStringLiteral("pack #3"), Qt::CaseInsensitive))
                last = item;
        QCOMPARE(treesearch::FindLine(tree, order.front(), "PACK #3", false, stop, visited), last);
        QCOMPARE(treesearch::FindLine(tree, kNoItem, "no such text", true, stop, visited), kNoItem);
        QCOMPARE(visited.load(), tree.Count());

        // Through the dialog: the found line becomes current; pack numbers go straight there.
        CTreeSearchDlg& search = dlg.Inspector()->Search();
        search.TextEdit()->setText(QStringLiteral("PACK #7"));
        QSignalSpy ended(&search, &CTreeSearchDlg::SearchEnded);
        search.Find(true);
        QTRY_COMPARE(ended.size(), 1);
        QCOMPARE(dlg.m_treeView.currentIndex().data().toString(), QStringLiteral("PACK #7"));
        QVERIFY(search.GoToPack(QStringLiteral("12")));
        QCOMPARE(dlg.m_treeView.currentIndex().data().toString(), QStringLiteral("PACK #12"));
        QVERIFY(!search.GoToPack(QStringLiteral("999999")));
    }
};

VARNODEL_TEST_CLASS(InspectorTest);
#include "InspectorTest.moc"
