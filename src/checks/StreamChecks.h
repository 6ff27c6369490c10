#pragma once
// The checks of a stream as one model sink: system layer, timestamps, decoder buffers,
// elementary streams and the DVD rules. It takes the model's events through a pipeline
// and asks the pipeline's stream context about the pack, the time base and the system
// header in force; the findings are in Log() once OnEnd has come.
//
// Time bases: each rule starts afresh at a new one (buffers empty, timestamp chains and
// system header bounds anew, a VOB's last VOBU judged as such), so no finding compares
// values of two clocks. After a clock fault of one stream (a time stamp out of line with
// the rest), the rules that depend on that stream's clock follow the stream's own times
// instead of reporting each consequence.

#include "checks/BufferModel.h"
#include "checks/DvdChecks.h"
#include "checks/Findings.h"
#include "model/StreamContext.h"

#include <map>
#include <memory>
#include <vector>

namespace checks
{

class StreamChecks : public model::IModelSink
{
public:
    explicit StreamChecks(const model::CStreamContext& context);
    ~StreamChecks() override;

    void OnPack(const model::PackEvent& pack) override;
    void OnPes(const model::PesEvent& pes) override;
    void OnAccessUnit(const model::AccessUnit& unit) override;
    void OnNavPack(const model::NavPack& nav) override;
    void OnTimeBase(const model::TimeBaseEvent& timeBase) override;
    void OnResync(const model::ResyncEvent& resync) override;
    void OnEnd(const model::StreamEnd& end) override;

    // Where every decoder buffer's occupancy goes as it changes (for plots); set before
    // the run.
    void SetBufferObserver(BufferModel::IObserver* observer) { m_observer = observer; }

    const FindingLog& Log() const { return m_log; }
    uint32_t Packs() const { return m_packs; }
    uint64_t Bytes() const { return m_bytes; }
    // The highest occupancy of a stream's decoder buffer, 0 where it is not modelled.
    uint64_t BufferPeak(model::StreamKey stream) const;
    // Elementary streams seen (padding aside).
    uint32_t StreamCount() const { return static_cast<uint32_t>(m_streams.size()); }

    // Substream headers waiting for the frames they announce; past it, the oldest goes
    // unjudged.
    static constexpr size_t kMaxSubHeaders = 256;
    // Pictures of a group whose temporal references are judged.
    static constexpr size_t kMaxGroup = 1024;

private:
    struct Stream;
    Stream& StreamFor(model::StreamKey key, model::Kind kind);
    FindingLog::Place PlaceOf(uint32_t pack, uint64_t offset, model::StreamKey stream, bool hasTime,
                              int64_t time27) const;
    void CheckSystemLayer(const model::PackEvent& pack);
    void CheckListed(Stream& s, const model::PesEvent& pes);
    void CheckPesTimes(Stream& s, const model::PesEvent& pes);
    void FeedBuffer(Stream& s, const model::PesEvent& pes);
    // Hands the pack's payloads to the buffer models; rate50 is the rate their bytes
    // arrive at (the pack's own, or what its successor's SCR leaves room for).
    void FlushArrivals(bool retime, uint32_t rate50);
    void KeepSubHeader(Stream& s, const model::PesEvent& pes);
    // The unit's times on the stream's own clock; false where it belongs to the last time
    // base or has no known time (its bytes are then not modelled).
    bool TimeUnit(Stream& s, const model::AccessUnit& unit, model::AccessUnit& timed, bool& outlier);
    void CheckAudioUnit(Stream& s, const model::AccessUnit& unit, bool timed, bool outlier);
    void CheckVideoUnit(Stream& s, const model::AccessUnit& unit, bool timed, bool outlier);
    void CheckSubstreamHeaders(Stream& s, const model::AccessUnit* unit);
    // Ends the group under way; judge false where it may have been cut short.
    void EndGroup(Stream& s, bool judge);
    void EndBuffer(Stream& s);
    void ReportTimeBase(const model::TimeBaseEvent& t);

    const model::CStreamContext& m_context;
    FindingLog m_log;
    DvdChecks m_dvd;
    BufferModel::IObserver* m_observer = nullptr;
    bool m_hasPrevPack = false;       // a pack before the current one in this time base
    model::PackEvent m_prevPack;
    uint32_t m_packs = 0;
    uint64_t m_bytes = 0;
    uint32_t m_audioStreams = 0, m_videoStreams = 0;  // of the time base, against its bounds
    model::StreamKey m_dvdVideo = model::kNoStream;  // the video the nav packs describe
    // The payloads of the pack in force, for the buffer models: they arrive at the pack's
    // rate, unless the next pack's SCR comes before that rate has brought them all.
    struct PendingArrival
    {
        Stream* stream;
        BufferModel::Arrival arrival;
    };
    std::vector<PendingArrival> m_arrivals;
    static constexpr size_t kMaxPendingArrivals = 4096;
    std::map<model::StreamKey, std::unique_ptr<Stream>> m_streams;
};

}  // namespace checks
