#pragma once
// The checks of a stream as one model sink: system layer, timestamps, decoder buffers,
// elementary streams and the DVD rules. Feed it the model's events; read the findings
// from Log() once OnEnd has come.

#include "checks/BufferModel.h"
#include "checks/DvdChecks.h"
#include "checks/Findings.h"

#include <map>
#include <memory>
#include <vector>

namespace checks
{

class StreamChecks : public model::IModelSink
{
public:
    StreamChecks();
    ~StreamChecks() override;

    void OnContainer(model::Container container) override;
    void OnPack(const model::PackEvent& pack) override;
    void OnSystemHeader(const model::SystemHeaderEvent& header) override;
    void OnPes(const model::PesEvent& pes) override;
    void OnAccessUnit(const model::AccessUnit& unit) override;
    void OnNavPack(const model::NavPack& nav) override;
    void OnResync(const model::ResyncEvent& resync) override;
    void OnEnd(const model::StreamEnd& end) override;

    const FindingLog& Log() const { return m_log; }
    uint32_t Packs() const { return m_packs; }
    uint64_t Bytes() const { return m_bytes; }
    // Elementary streams seen (padding aside).
    // The highest occupancy of a stream's decoder buffer, 0 where it is not modelled.
    uint64_t BufferPeak(model::StreamKey stream) const;
    uint32_t StreamCount() const { return static_cast<uint32_t>(m_streams.size()); }

private:
    struct Stream;
    Stream& StreamFor(model::StreamKey key, model::Kind kind);
    void CheckListed(Stream& s, const model::PesEvent& pes);
    void CheckPesTimes(Stream& s, const model::PesEvent& pes);
    void FeedBuffer(Stream& s, const model::PesEvent& pes);
    void CheckAudioUnit(Stream& s, const model::AccessUnit& unit);
    void CheckVideoUnit(Stream& s, const model::AccessUnit& unit);
    void CheckSubstreamHeaders(Stream& s, const model::AccessUnit* unit);
    void EndGroup(Stream& s);
    uint32_t SystemBound(uint8_t streamId) const;

    FindingLog m_log;
    DvdChecks m_dvd;
    model::Container m_container = model::Container::ProgramStream;
    bool m_hasPack = false;
    model::PackEvent m_pack;
    uint32_t m_packs = 0;
    uint64_t m_bytes = 0;
    bool m_hasSystemHeader = false;
    model::SystemHeaderEvent m_system;
    uint32_t m_audioStreams = 0, m_videoStreams = 0;
    model::StreamKey m_dvdVideo = model::kNoStream;  // the video the nav packs describe
    std::map<model::StreamKey, std::unique_ptr<Stream>> m_streams;
};

}  // namespace checks
