#pragma once
// The consumer of one inspection pass: hands the model's events to the statistics, the
// checks and the column store, and keeps the packs, the PES time stamps and the decoder
// buffer curves for the plots. Finish moves it all into the result.

#include "app/inspector/InspectData.h"
#include "checks/StreamChecks.h"
#include "model/ModelEvents.h"
#include "model/StreamStats.h"

#include <atomic>
#include <map>
#include <vector>

namespace inspector
{

class InspectCollector : public model::IModelSink
{
public:
    // percent (optional) follows the packs through a file of fileSize bytes.
    InspectCollector(InspectResult& result, uint64_t fileSize = 0, std::atomic<int>* percent = nullptr);
    ~InspectCollector() override;

    void OnContainer(model::Container c) override;
    void OnPack(const model::PackEvent& pack) override;
    void OnSystemHeader(const model::SystemHeaderEvent& header) override;
    void OnPes(const model::PesEvent& pes) override;
    void OnSequence(const model::SequenceEvent& seq) override;
    void OnAccessUnit(const model::AccessUnit& unit) override;
    void OnNavPack(const model::NavPack& nav) override;
    void OnResync(const model::ResyncEvent& resync) override;
    void OnEnd(const model::StreamEnd& end) override;

    // Arrival time (seconds) of a byte of the current pack; 0 before the first pack.
    double ArrivalOf(uint64_t byteOffset) const;

private:
    struct Step
    {
        float time;
        uint32_t bytes;
    };
    struct Buffer
    {
        std::vector<Step> arrivals, removals, sizes;
    };
    Buffer& BufferFor(model::StreamKey key);
    uint32_t SystemBound(uint8_t streamId) const;
    void FinishBuffers();

    InspectResult& m_result;
    uint64_t m_nFileSize;
    std::atomic<int>* m_pPercent;
    model::CStreamStats m_stats;
    checks::StreamChecks m_checks;
    bool m_havePack = false;
    int64_t m_scr27 = 0;
    uint64_t m_scrByte = 0;
    uint32_t m_muxRate = 0;
    bool m_haveSystem = false;
    model::SystemHeaderEvent m_system;
    std::map<model::StreamKey, Buffer> m_buffers;
};

}  // namespace inspector
