#include "app/inspector/InspectPlots.h"

#include "app/inspector/CPlotWidget.h"

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
            const int64_t dts = u.Dts90(i);
            const int64_t second = dts >= 0 ? dts / 90000 : (dts - 89999) / 90000;
            const double bits = u.Size(i) * 8.0;
            perSecond[second] += bits;
            total[second] += bits;
            if (u.GetKind() == model::Kind::Video && (u.Flags(i) & model::CUnitSeries::GopStart) != 0)
            {
                const double t = Seconds90(dts);
                if (gopStart >= 0 && t > gopStart)
                    gops->emplace_back(gopStart, gopBits / (t - gopStart));
                gopStart = t;
                gopBits = 0;
            }
            gopBits += bits;
        }
        PlotSeries s = TableSeries(SecondsTable(perSecond));
        s.name = StreamLabel(u.Stream(), u.GetKind()) + QStringLiteral(" /s");
        s.color = ColorOf(*r, u.Stream());
        s.style = PlotSeries::StepLine;
        plot.AddSeries(std::move(s));
        if (!gops->empty())
        {
            PlotSeries g = TableSeries(gops);
            g.name = StreamLabel(u.Stream(), u.GetKind()) + QStringLiteral(" /GOP");
            g.color = ColorOf(*r, u.Stream()).lighter(150);
            g.style = PlotSeries::StepLine;
            plot.AddSeries(std::move(g));
        }
    }
    if (!total.empty())
    {
        PlotSeries all = TableSeries(SecondsTable(total));
        all.name = QStringLiteral("total /s");
        all.color = Qt::black;
        all.style = PlotSeries::StepLine;
        plot.AddSeries(std::move(all));
    }
    if (r->packs.size() > 0)
    {
        PlotSeries mux;
        mux.name = QStringLiteral("mux rate");
        mux.color = QColor(200, 0, 0);
        mux.style = PlotSeries::StepLine;
        mux.count = r->packs.size();
        mux.x = [r](size_t i) { return r->packs.scr[i]; };
        mux.y = [r](size_t i) { return r->packs.muxRate[i] * 400.0; };
        mux.offset = [r](size_t i) { return r->packs.offset[i]; };
        mux.size = [r](size_t i) {
            return static_cast<uint32_t>(r->packs.PackLength(static_cast<uint32_t>(i), r->fileSize));
        };
        plot.AddSeries(std::move(mux));
    }
}

// ---------------------------------------------------------------------------------
// Time stamps
// ---------------------------------------------------------------------------------

void FillStamps(const std::shared_ptr<const InspectResult>& r, CPlotWidget& plot)
{
    auto packLength = [r](uint32_t pack) { return static_cast<uint32_t>(r->packs.PackLength(pack, r->fileSize)); };
    if (r->packs.size() > 0)
    {
        // A pack's bytes arrive at the rate of the pack before it: that arrival time
        // against the SCR shows a pack that comes too soon below the diagonal.
        PlotSeries scr;
        scr.name = QStringLiteral("SCR");
        scr.color = Qt::black;
        scr.count = r->packs.size();
        scr.x = [r](size_t i) {
            const inspector::PackColumns& p = r->packs;
            if (i == 0 || p.muxRate[i - 1] == 0)
                return p.scr[i];
            return p.scr[i - 1] + static_cast<double>(p.offset[i] - p.offset[i - 1]) / (p.muxRate[i - 1] * 50.0);
        };
        scr.y = [r](size_t i) { return r->packs.scr[i]; };
        scr.offset = [r](size_t i) { return r->packs.offset[i]; };
        scr.size = [packLength](size_t i) { return packLength(static_cast<uint32_t>(i)); };
        scr.describe = [r](size_t i) {
            return QStringLiteral("pack %1, SCR %2 s").arg(i + 1).arg(r->packs.scr[i], 0, 'f', 6);
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
        pts.name = label + QStringLiteral(" PTS");
        pts.color = ColorOf(*r, key);
        pts.count = shared->size();
        pts.x = [r, shared](size_t i) { return double(r->stamps.arrival[(*shared)[i]]); };
        pts.y = [r, shared](size_t i) { return double(r->stamps.pts[(*shared)[i]]); };
        pts.offset = [r, shared](size_t i) { return r->packs.offset.empty() ? 0 : r->packs.offset[r->stamps.pack[(*shared)[i]]]; };
        pts.size = [r, shared, packLength](size_t i) { return packLength(r->stamps.pack[(*shared)[i]]); };
        pts.describe = [r, shared](size_t i) {
            const uint32_t row = (*shared)[i];
            return QStringLiteral("pack %1, arrives %2 s, PTS %3 s, %4 s ahead")
                .arg(r->stamps.pack[row] + 1)
                .arg(r->stamps.arrival[row], 0, 'f', 3)
                .arg(r->stamps.pts[row], 0, 'f', 3)
                .arg(r->stamps.pts[row] - r->stamps.arrival[row], 0, 'f', 3);
        };
        const bool anyDts = std::any_of(shared->begin(), shared->end(),
                                        [r](uint32_t row) { return r->stamps.dts[row] != r->stamps.pts[row]; });
        PlotSeries dts = pts;
        plot.AddSeries(std::move(pts));
        if (anyDts)
        {
            dts.name = label + QStringLiteral(" DTS");
            dts.color = dts.color.darker(160);
            dts.y = [r, shared](size_t i) { return double(r->stamps.dts[(*shared)[i]]); };
            dts.describe = nullptr;
            plot.AddSeries(std::move(dts));
        }
    }
}

// ---------------------------------------------------------------------------------
// Decoder buffers
// ---------------------------------------------------------------------------------

void FillBuffers(const std::shared_ptr<const InspectResult>& r, CPlotWidget& plot)
{
    for (const inspector::BufferCurve& c : r->buffers)
    {
        const inspector::BufferCurve* curve = &c;
        const QString label = StreamLabel(c.stream, KindOf(*r, c.stream));
        PlotSeries s;
        s.name = label + QStringLiteral(" occupancy");
        s.color = ColorOf(*r, c.stream);
        s.style = PlotSeries::StepLine;
        s.count = curve->time.size();
        s.x = [r, curve](size_t i) { return double(curve->time[i]); };
        s.y = [r, curve](size_t i) { return double(curve->bytes[i]); };
        plot.AddSeries(std::move(s));
        if (!curve->sizeBytes.empty())
        {
            // The size holds on to the end of the curve.
            auto points = std::make_shared<Table>();
            for (size_t i = 0; i < curve->sizeTime.size(); ++i)
                points->emplace_back(curve->sizeTime[i], curve->sizeBytes[i]);
            if (!curve->time.empty() && curve->time.back() > points->back().first)
                points->emplace_back(curve->time.back(), points->back().second);
            PlotSeries size = TableSeries(points);
            size.name = label + QStringLiteral(" size");
            size.color = ColorOf(*r, c.stream).darker(170);
            size.style = PlotSeries::StepLine;
            plot.AddSeries(std::move(size));
        }
    }
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
        std::sort(rows->begin(), rows->end(),
                  [r](uint32_t a, uint32_t b) { return r->findings[a].time < r->findings[b].time; });
        const bool over = std::string_view(check) == "pstd-overflow";
        auto level = [r](const checks::Finding& f) -> double {
            for (const inspector::BufferCurve& c : r->buffers)
            {
                if (c.stream != f.stream || c.time.empty())
                    continue;
                const auto it = std::upper_bound(c.time.begin(), c.time.end(), static_cast<float>(f.time));
                return it == c.time.begin() ? 0.0 : double(c.bytes[static_cast<size_t>(it - c.time.begin() - 1)]);
            }
            return 0.0;
        };
        PlotSeries marks;
        marks.name = over ? QStringLiteral("overflow") : QStringLiteral("underflow");
        marks.color = over ? QColor(220, 0, 0) : QColor(160, 0, 200);
        marks.style = PlotSeries::Marks;
        marks.count = rows->size();
        marks.x = [r, rows](size_t i) { return r->findings[(*rows)[i]].time; };
        marks.y = [r, rows, level](size_t i) { return level(r->findings[(*rows)[i]]); };
        marks.offset = [r, rows](size_t i) { return r->findings[(*rows)[i]].offset; };
        marks.describe = [r, rows](size_t i) { return QString::fromStdString(r->findings[(*rows)[i]].message); };
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
            return QStringLiteral("picture %1 (%2), %3 bytes, pack %4, offset %5, DTS %6 s")
                .arg(row)
                .arg(QLatin1String(names[t]))
                .arg(video->Size(row))
                .arg(video->Pack(row) + 1)
                .arg(video->Offset(row))
                .arg(Seconds90(video->Dts90(row)), 0, 'f', 3);
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
