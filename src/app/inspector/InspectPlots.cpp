#include "app/inspector/InspectPlots.h"

#include "app/inspector/CPlotWidget.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <map>

using inspector::InspectResult;

namespace
{

using Table = std::vector<std::pair<double, double>>;

QColor StreamColor(size_t i)
{
    static const QColor colors[] = {QColor(31, 119, 180), QColor(255, 127, 14), QColor(44, 160, 44),
                                    QColor(214, 39, 40),  QColor(148, 103, 189), QColor(140, 86, 75),
                                    QColor(227, 119, 194), QColor(127, 127, 127), QColor(188, 189, 34),
                                    QColor(23, 190, 207)};
    return colors[i % (sizeof colors / sizeof colors[0])];
}

QString StreamLabel(model::StreamKey key, model::Kind kind)
{
    model::StreamSummary s;
    s.stream = key;
    s.kind = kind;
    return QString::fromStdString(s.StreamText()) + QLatin1Char(' ') + QLatin1String(s.KindText());
}

// A stream's colour: by its place in the stream table, the same in every plot.
QColor ColorOf(const InspectResult& r, model::StreamKey key)
{
    const int i = r.StreamIndex(key);
    return StreamColor(i < 0 ? 0 : static_cast<size_t>(i));
}

model::Kind KindOf(const InspectResult& r, model::StreamKey key)
{
    const int i = r.StreamIndex(key);
    return i < 0 ? model::Kind::Unknown : r.streams[static_cast<size_t>(i)].kind;
}

// A series over a small table of its own.
PlotSeries TableSeries(std::shared_ptr<const Table> points)
{
    PlotSeries s;
    s.count = points->size();
    s.x = [points](size_t i) { return (*points)[i].first; };
    s.y = [points](size_t i) { return (*points)[i].second; };
    return s;
}

double Seconds90(int64_t t90)
{
    return static_cast<double>(t90) / 90000.0;
}

// 1,234,567
QString Grouped(double n)
{
    return QLocale(QLocale::English).toString(n, 'f', 0);
}

QString Kbits(double bitsPerSecond)
{
    return QLocale(QLocale::English).toString(bitsPerSecond / 1000.0, 'f', 1) + QStringLiteral(" kbit/s");
}

QString PackText(uint32_t index)
{
    return QStringLiteral("PACK #%1").arg(index + 1);
}

// Where the file runs on several clocks, the read-outs give a time on its own clock and
// say which one ("on clock 2 of 3"); the plot places it after the clocks before.
QString ClockNote(const InspectResult& r, const inspector::PlotClock* clock)
{
    if (r.clocks.empty())
        return {};
    const size_t n = clock ? static_cast<size_t>(clock - r.clocks.data()) + 2 : 1;
    return QStringLiteral(" on clock %1 of %2").arg(n).arg(r.clocks.size() + 1);
}

QString ClockNoteOfPack(const InspectResult& r, uint32_t pack)
{
    return ClockNote(r, r.ClockOf(pack));
}

std::shared_ptr<const Table> SecondsTable(const std::map<int64_t, double>& perSecond)
{
    auto points = std::make_shared<Table>();
    for (const auto& [second, bits] : perSecond)
        points->emplace_back(static_cast<double>(second), bits);
    return points;
}

// ---------------------------------------------------------------------------------
// Bit rate
// ---------------------------------------------------------------------------------

// Bits per whole second of a stream (or of all), described as a rate.
PlotSeries PerSecondSeries(std::shared_ptr<const Table> points, const QString& label)
{
    PlotSeries s = TableSeries(points);
    s.style = PlotSeries::StepLine;
    s.describe = [points, label](size_t i) {
        return QStringLiteral("%1 %2 in the second from %3 s").arg(label, Kbits((*points)[i].second)).arg((*points)[i].first);
    };
    return s;
}

void FillBitrate(const std::shared_ptr<const InspectResult>& r, CPlotWidget& plot)
{
    // Bits per whole second of decoding time, per stream and in total; per GOP for video
    // (the GOP's bits over the time to the next GOP's start).
    std::map<int64_t, double> total;
    for (const auto& series : r->units.Series())
    {
        const model::CUnitSeries& u = *series;
        if (u.Count() == 0)
            continue;
        std::map<int64_t, double> perSecond;
        auto gops = std::make_shared<Table>();
        double gopStart = -1, gopBits = 0;
        for (size_t i = 0; i < u.Count(); ++i)
        {
            const double t = Seconds90(u.Dts90(i)) + r->Shift(u.Pack(i));
            const int64_t second = static_cast<int64_t>(std::floor(t));
            const double bits = u.Size(i) * 8.0;
            perSecond[second] += bits;
            total[second] += bits;
            if (u.GetKind() == model::Kind::Video && (u.Flags(i) & model::CUnitSeries::GopStart) != 0)
            {
                if (gopStart >= 0 && t > gopStart)
                    gops->emplace_back(gopStart, gopBits / (t - gopStart));
                gopStart = t;
                gopBits = 0;
            }
            gopBits += bits;
        }
        const QString label = StreamLabel(u.Stream(), u.GetKind());
        PlotSeries s = PerSecondSeries(SecondsTable(perSecond), label);
        s.name = label + QStringLiteral(" /s");
        s.color = ColorOf(*r, u.Stream());
        plot.AddSeries(std::move(s));
        if (!gops->empty())
        {
            PlotSeries g = TableSeries(gops);
            g.name = label + QStringLiteral(" /GOP");
            g.color = ColorOf(*r, u.Stream()).lighter(150);
            g.style = PlotSeries::StepLine;
            g.describe = [gops, label](size_t i) {
                return QStringLiteral("%1 %2 over the GOP from %3 s")
                    .arg(label, Kbits((*gops)[i].second))
                    .arg((*gops)[i].first, 0, 'f', 3);
            };
            plot.AddSeries(std::move(g));
        }
    }
    if (!total.empty())
    {
        PlotSeries all = PerSecondSeries(SecondsTable(total), QStringLiteral("all streams"));
        all.name = QStringLiteral("total /s");
        all.color = Qt::black;
        plot.AddSeries(std::move(all));
    }
    if (r->packs.size() > 0)
    {
        PlotSeries mux;
        mux.name = QStringLiteral("mux rate");
        mux.color = QColor(90, 90, 90);
        mux.penStyle = Qt::DashLine;
        mux.style = PlotSeries::StepLine;
        mux.count = r->packs.size();
        mux.x = [r](size_t i) { return r->packs.scr[i] + r->Shift(static_cast<uint32_t>(i)); };
        mux.y = [r](size_t i) { return r->packs.muxRate[i] * 400.0; };
        mux.offset = [r](size_t i) { return r->packs.offset[i]; };
        mux.size = [r](size_t i) {
            return static_cast<uint32_t>(r->packs.PackLength(static_cast<uint32_t>(i), r->fileSize));
        };
        mux.describe = [r](size_t i) {
            return QStringLiteral("mux rate %1 bit/s from %2 s%3 (%4)")
                .arg(Grouped(r->packs.muxRate[i] * 400.0))
                .arg(r->packs.scr[i], 0, 'f', 3)
                .arg(ClockNoteOfPack(*r, static_cast<uint32_t>(i)), PackText(static_cast<uint32_t>(i)));
        };
        plot.AddSeries(std::move(mux));
    }
}

// ---------------------------------------------------------------------------------
// Time stamps
// ---------------------------------------------------------------------------------

void FillStamps(const std::shared_ptr<const InspectResult>& r, CPlotWidget& plot)
{
    // How far ahead of its presentation (or decoding) each stream's data arrives: the
    // streams lie apart, and a stream that comes late falls towards 0 or below.
    auto packLength = [r](uint32_t pack) { return static_cast<uint32_t>(r->packs.PackLength(pack, r->fileSize)); };
    if (r->packs.size() > 0)
    {
        // A pack's bytes arrive at the rate of the pack before it; its SCR against that
        // arrival is 0 in a steady multiplex, and a pack that comes too soon or too late
        // stands off it.
        auto arrival = [r](size_t i) {
            const inspector::PackColumns& p = r->packs;
            if (i == 0 || p.muxRate[i - 1] == 0 || r->StartsClock(static_cast<uint32_t>(i)))
                return p.scr[i];
            return p.scr[i - 1] + static_cast<double>(p.offset[i] - p.offset[i - 1]) / (p.muxRate[i - 1] * 50.0);
        };
        PlotSeries scr;
        scr.name = QStringLiteral("SCR - arrival");
        scr.color = Qt::black;
        scr.count = r->packs.size();
        scr.x = [r](size_t i) { return r->packs.scr[i] + r->Shift(static_cast<uint32_t>(i)); };
        scr.y = [r, arrival](size_t i) { return r->packs.scr[i] - arrival(i); };
        scr.offset = [r](size_t i) { return r->packs.offset[i]; };
        scr.size = [packLength](size_t i) { return packLength(static_cast<uint32_t>(i)); };
        scr.describe = [r, arrival](size_t i) {
            return QStringLiteral("%1: SCR %2 s%3, %4 s from its arrival at the rate before it")
                .arg(PackText(static_cast<uint32_t>(i)))
                .arg(r->packs.scr[i], 0, 'f', 6)
                .arg(ClockNoteOfPack(*r, static_cast<uint32_t>(i)))
                .arg(r->packs.scr[i] - arrival(i), 0, 'f', 6);
        };
        plot.AddSeries(std::move(scr));
    }
    // Each stream's PES time stamps at the arrival of their packets.
    std::map<model::StreamKey, std::vector<uint32_t>> rows;
    for (size_t i = 0; i < r->stamps.size(); ++i)
        rows[r->stamps.stream[i]].push_back(static_cast<uint32_t>(i));
    for (auto& [key, list] : rows)
    {
        auto shared = std::make_shared<const std::vector<uint32_t>>(std::move(list));
        const QString label = StreamLabel(key, KindOf(*r, key));
        PlotSeries pts;
        pts.name = label + QStringLiteral(" PTS - arrival");
        pts.color = ColorOf(*r, key);
        pts.style = PlotSeries::Dots;
        pts.count = shared->size();
        pts.stream = key;
        pts.x = [r, shared](size_t i) {
            const uint32_t row = (*shared)[i];
            return double(r->stamps.arrival[row]) + r->Shift(r->stamps.pack[row]);
        };
        pts.y = [r, shared](size_t i) {
            return double(r->stamps.pts[(*shared)[i]]) - double(r->stamps.arrival[(*shared)[i]]);
        };
        // The pack: the element is found in it, as the first packet of the stream there
        // with a time stamp.
        pts.offset = [r, shared](size_t i) {
            return r->packs.offset.empty() ? 0 : r->packs.offset[r->stamps.pack[(*shared)[i]]];
        };
        auto describe = [r, shared, label](const char* stamp, const std::vector<float>* times) {
            return [r, shared, label, stamp, times](size_t i) {
                const uint32_t row = (*shared)[i];
                return QStringLiteral("%1 %2 %3 s arrives at %4 s%5, %6 s ahead (%7)")
                    .arg(label, QLatin1String(stamp))
                    .arg((*times)[row], 0, 'f', 3)
                    .arg(r->stamps.arrival[row], 0, 'f', 3)
                    .arg(ClockNoteOfPack(*r, r->stamps.pack[row]))
                    .arg((*times)[row] - r->stamps.arrival[row], 0, 'f', 3)
                    .arg(PackText(r->stamps.pack[row]));
            };
        };
        pts.describe = describe("PTS", &r->stamps.pts);
        const bool anyDts = std::any_of(shared->begin(), shared->end(),
                                        [r](uint32_t row) { return r->stamps.dts[row] != r->stamps.pts[row]; });
        PlotSeries dts = pts;
        plot.AddSeries(std::move(pts));
        if (anyDts)
        {
            dts.name = label + QStringLiteral(" DTS - arrival");
            dts.color = dts.color.darker(160);
            dts.y = [r, shared](size_t i) {
                return double(r->stamps.dts[(*shared)[i]]) - double(r->stamps.arrival[(*shared)[i]]);
            };
            dts.describe = describe("DTS", &r->stamps.dts);
            plot.AddSeries(std::move(dts));
        }
    }
}

// ---------------------------------------------------------------------------------
// Decoder buffers
// ---------------------------------------------------------------------------------

// The buffer size in force at a time: the last one signalled before it (the first one
// before that); 0 where none is known.
uint32_t SizeAt(const inspector::BufferCurve& c, float time)
{
    if (c.sizeBytes.empty())
        return 0;
    const auto it = std::upper_bound(c.sizeTime.begin(), c.sizeTime.end(), time);
    return c.sizeBytes[it == c.sizeTime.begin() ? 0 : static_cast<size_t>(it - c.sizeTime.begin() - 1)];
}

// Occupancy as a share of the buffer's size (or, where no size is known, of the curve's
// own peak), so that a 4 KB audio buffer shows as plainly as a 224 KB video one.
double Share(const inspector::BufferCurve& c, size_t i, uint32_t peak)
{
    const uint32_t size = SizeAt(c, c.time[i]);
    const uint32_t scale = size ? size : std::max<uint32_t>(peak, 1);
    return 100.0 * c.bytes[i] / scale;
}

void FillBuffers(const std::shared_ptr<const InspectResult>& r, CPlotWidget& plot)
{
    for (const inspector::BufferCurve& c : r->buffers)
    {
        const inspector::BufferCurve* curve = &c;
        const QString label = StreamLabel(c.stream, KindOf(*r, c.stream));
        const uint32_t peak = c.bytes.empty() ? 0 : *std::max_element(c.bytes.begin(), c.bytes.end());
        PlotSeries s;
        s.name = label + (c.sizeBytes.empty() ? QStringLiteral(" buffer (of its peak)") : QStringLiteral(" buffer"));
        s.color = ColorOf(*r, c.stream);
        s.style = PlotSeries::StepLine;
        s.count = curve->time.size();
        const inspector::PlotClock* clock = r->ClockOfTimeBase(c.timeBase);
        const double shift = clock ? clock->shift : 0.0;
        s.x = [curve, shift](size_t i) { return double(curve->time[i]) + shift; };
        s.y = [r, curve, peak](size_t i) { return Share(*curve, i, peak); };
        s.describe = [r, curve, label, clock](size_t i) {
            const uint32_t size = SizeAt(*curve, curve->time[i]);
            return QStringLiteral("%1 buffer %2 of %3 bytes at %4 s%5")
                .arg(label, Grouped(curve->bytes[i]), size ? Grouped(size) : QStringLiteral("(unknown)"))
                .arg(curve->time[i], 0, 'f', 3)
                .arg(ClockNote(*r, clock));
        };
        plot.AddSeries(std::move(s));
    }
    if (!r->buffers.empty())
        plot.AddLevel(QStringLiteral("buffer size"), 100.0, QColor(120, 120, 120));
    // The checks' overflow and underflow findings, at their time, on the stream's
    // occupancy of that moment.
    for (const char* check : {"pstd-overflow", "pstd-underflow"})
    {
        auto rows = std::make_shared<std::vector<uint32_t>>();
        for (size_t i = 0; i < r->findings.size(); ++i)
            if (std::string_view(r->findings[i].check) == check && r->findings[i].hasTime)
                rows->push_back(static_cast<uint32_t>(i));
        if (rows->empty())
            continue;
        // Findings count packs from 1; on the plot, each at its time on its pack's clock.
        auto packOf = [](const checks::Finding& f) { return f.pack == 0 ? 0u : f.pack - 1; };
        auto at = [r, packOf](const checks::Finding& f) { return f.time + r->Shift(packOf(f)); };
        std::sort(rows->begin(), rows->end(),
                  [r, at](uint32_t a, uint32_t b) { return at(r->findings[a]) < at(r->findings[b]); });
        const bool over = std::string_view(check) == "pstd-overflow";
        auto level = [r, packOf](const checks::Finding& f) -> double {
            const inspector::PlotClock* clock = r->ClockOf(packOf(f));
            const uint32_t timeBase = clock ? clock->timeBase : 0;
            for (const inspector::BufferCurve& c : r->buffers)
            {
                if (c.stream != f.stream || c.timeBase != timeBase || c.time.empty())
                    continue;
                const uint32_t peak = *std::max_element(c.bytes.begin(), c.bytes.end());
                const auto it = std::upper_bound(c.time.begin(), c.time.end(), static_cast<float>(f.time));
                return it == c.time.begin() ? 0.0 : Share(c, static_cast<size_t>(it - c.time.begin() - 1), peak);
            }
            return 0.0;
        };
        PlotSeries marks;
        marks.name = over ? QStringLiteral("overflow") : QStringLiteral("underflow");
        marks.color = over ? QColor(220, 0, 0) : QColor(160, 0, 200);
        marks.style = PlotSeries::Marks;
        marks.count = rows->size();
        marks.x = [r, rows, at](size_t i) { return at(r->findings[(*rows)[i]]); };
        marks.y = [r, rows, level](size_t i) { return level(r->findings[(*rows)[i]]); };
        marks.offset = [r, rows](size_t i) { return r->findings[(*rows)[i]].offset; };
        marks.describe = [r, rows, packOf](size_t i) {
            const checks::Finding& f = r->findings[(*rows)[i]];
            return QString::fromStdString(checks::StreamName(f.stream)) + QStringLiteral(" at ") +
                   QString::number(f.time, 'f', 3) + QStringLiteral(" s") + ClockNoteOfPack(*r, packOf(f)) +
                   QStringLiteral(": ") + QString::fromStdString(f.message);
        };
        plot.AddSeries(std::move(marks));
    }
}

// ---------------------------------------------------------------------------------
// Picture sizes
// ---------------------------------------------------------------------------------

void FillPictures(const std::shared_ptr<const InspectResult>& r, CPlotWidget& plot)
{
    // The first video stream; the x axis counts its pictures in coded order.
    const model::CUnitSeries* video = nullptr;
    for (const auto& series : r->units.Series())
        if (video == nullptr && series->GetKind() == model::Kind::Video)
            video = series.get();
    if (video == nullptr || video->Count() == 0)
        return;
    auto byType = std::make_shared<std::vector<std::vector<uint32_t>>>(4);
    auto gops = std::make_shared<std::vector<uint32_t>>();
    double maxSize = 1;
    for (size_t i = 0; i < video->Count(); ++i)
    {
        const uint8_t type = video->PictureType(i);
        (*byType)[type >= 1 && type <= 3 ? type - 1 : 3].push_back(static_cast<uint32_t>(i));
        if ((video->Flags(i) & model::CUnitSeries::GopStart) != 0)
            gops->push_back(static_cast<uint32_t>(i));
        maxSize = std::max<double>(maxSize, video->Size(i));
    }
    if (!gops->empty())
    {
        PlotSeries g;
        g.name = QStringLiteral("GOP start");
        g.color = QColor(190, 190, 190);
        g.style = PlotSeries::Impulses;
        g.count = gops->size();
        g.x = [gops](size_t i) { return double((*gops)[i]); };
        g.y = [maxSize](size_t) { return maxSize; };
        g.offset = [r, video, gops](size_t i) { return video->Offset((*gops)[i]); };
        g.describe = [video, gops](size_t i) {
            const uint32_t row = (*gops)[i];
            return QStringLiteral("GOP start at picture %1 (offset %2, %3)")
                .arg(row)
                .arg(video->Offset(row))
                .arg(PackText(video->Pack(row)));
        };
        plot.AddSeries(std::move(g));
    }
    static const char* const names[4] = {"I", "P", "B", "other"};
    static const QColor colors[4] = {QColor(214, 39, 40), QColor(31, 119, 180), QColor(44, 160, 44),
                                     QColor(127, 127, 127)};
    for (size_t t = 0; t < 4; ++t)
    {
        if ((*byType)[t].empty())
            continue;
        PlotSeries s;
        s.name = QString::fromLatin1(names[t]);
        s.color = colors[t];
        s.style = PlotSeries::Dots;
        s.count = (*byType)[t].size();
        s.x = [byType, t](size_t i) { return double((*byType)[t][i]); };
        s.y = [r, video, byType, t](size_t i) { return double(video->Size((*byType)[t][i])); };
        s.offset = [r, video, byType, t](size_t i) { return video->Offset((*byType)[t][i]); };
        s.size = [r, video, byType, t](size_t i) { return video->Size((*byType)[t][i]); };
        s.describe = [r, video, byType, t](size_t i) {
            const uint32_t row = (*byType)[t][i];
            return QStringLiteral("picture %1 (%2): %3 bytes, decoded at %4 s, offset %5 (%6)")
                .arg(row)
                .arg(QLatin1String(names[t]))
                .arg(Grouped(video->Size(row)))
                .arg(Seconds90(video->Dts90(row)), 0, 'f', 3)
                .arg(video->Offset(row))
                .arg(PackText(video->Pack(row)));
        };
        plot.AddSeries(std::move(s));
    }
}

}  // namespace

void FillPlots(const std::shared_ptr<const InspectResult>& result, const InspectPlotSet& plots)
{
    for (CPlotWidget* plot : {plots.bitrate, plots.stamps, plots.buffers, plots.pictures})
        if (plot)
            plot->ClearSeries();
    if (result)
    {
        if (plots.bitrate)
            FillBitrate(result, *plots.bitrate);
        if (plots.stamps)
            FillStamps(result, *plots.stamps);
        if (plots.buffers)
            FillBuffers(result, *plots.buffers);
        if (plots.pictures)
            FillPictures(result, *plots.pictures);
    }
    for (CPlotWidget* plot : {plots.bitrate, plots.stamps, plots.buffers, plots.pictures})
        if (plot)
            plot->ShowAll();
}
