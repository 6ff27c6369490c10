#pragma once
// One inspection pass: the statistics, the checks and the column store of access units
// take the pipeline's events, and the collector keeps what the plots need beside them:
// the packs, the PES time stamps with their arrival times, and each decoder buffer's
// occupancy as the checks' own buffer model computes it (decimated). Finish moves it
// all into the result.

#include "app/inspector/InspectData.h"
#include "checks/BufferModel.h"
#include "checks/StreamChecks.h"
#include "model/ModelEvents.h"
#include "model/Pipeline.h"
#include "model/StreamStats.h"
#include "syntax/Mpeg.h"

#include <atomic>
#include <map>
#include <utility>
#include <vector>

namespace inspector
{

class InspectCollector : public model::IModelSink, private checks::BufferModel::IObserver
{
public:
    // Adds the statistics, the checks, the result's column store and the collector to the
    // pipeline, in that order. percent (optional) follows the packs through a file of
    // fileSize bytes.
    InspectCollector(InspectResult& result, model::CPipeline& pipeline, uint64_t fileSize = 0,
                     std::atomic<int>* percent = nullptr);
    ~InspectCollector() override;

    void OnContainer(model::Container c) override;
    void OnPack(const model::PackEvent& pack) override;
    void OnPes(const model::PesEvent& pes) override;
    void OnTimeBase(const model::TimeBaseEvent& timeBase) override;
    void OnEnd(const model::StreamEnd& end) override;

    // The width of the time slices a buffer curve keeps at most three points of (its
    // lowest, its highest and its last level): far finer than a plot shows.
    static constexpr int64_t kSlice27 = mpeg::kClock27 / 1000;

private:
    void OnLevel(model::StreamKey stream, int64_t time27, uint64_t bytes, uint32_t size) override;

    // One stream's curve in one time base, and the slice it is gathering.
    struct Curve
    {
        BufferCurve curve;
        bool open = false;
        int64_t slice = 0;
        struct Point
        {
            int64_t time27;
            uint32_t bytes;
            uint32_t seq;   // its place among the slice's levels
        };
        Point low{}, high{}, last{};
        uint32_t seq = 0;
        void Flush();
    };

    InspectResult& m_result;
    const model::CStreamContext& m_context;
    uint64_t m_nFileSize;
    std::atomic<int>* m_pPercent;
    model::CStreamStats m_stats;
    checks::StreamChecks m_checks;
    // By time base and stream; the time base the levels belong to is the collector's own,
    // which turns once the checks have drained the old clock's buffers.
    std::map<std::pair<uint32_t, model::StreamKey>, Curve> m_curves;
    uint32_t m_timeBase = 0;
    // The shift of the clock in force on the plots, and whether it is still to be found
    // from the first pack of a new clock.
    double m_dShift = 0;
    bool m_bClockPending = false;
};

}  // namespace inspector
