#pragma once
// MPEG-1/2 video cut into access units: a unit runs from its picture's sequence or GOP
// header, where one precedes it, to the next such header or picture start code, or to
// the end of a sequence_end_code after it.

#include "model/UnitAssembler.h"
#include "stream/StartCodeJoiner.h"
#include "syntax/Mpeg.h"

namespace model
{

class CVideoAssembler : public CUnitAssembler
{
public:
    CVideoAssembler(StreamKey key, IModelSink& sink) : CUnitAssembler(key, Kind::Video, sink) {}

    void Finish() override;

protected:
    void Cut() override;
    void Consume(const uint8_t* data, uint32_t size) override;
    int64_t DerivePts27(const AccessUnit& unit, int64_t dts27) override;
    void OnCodedPts(const AccessUnit& unit) override;

private:
    static constexpr uint32_t kHeaderBytes = 8;

    // A start code at esPos of the joined payload; available bytes after it at after.
    void OnStartCode(uint8_t code, uint64_t esPos, const uint8_t* after, uint32_t available);
    void CollectHeader(const uint8_t* bytes, uint32_t available);
    void FinishHeader();
    void OnSequenceHeader();
    void OnGopHeader();
    void OnExtension();
    void OpenUnit(uint64_t esPos);
    void CloseUnit(uint64_t esEnd);
    // 27 MHz ticks of one field, as num / den.
    uint64_t FieldNum() const { return uint64_t{mpeg::kClock27} * m_rateDen; }
    uint64_t FieldDen() const { return 2ull * m_rateNum; }

    CStartCodeJoiner m_joiner;

    // The header being read.
    int m_headerCode = -1;
    uint8_t m_header[kHeaderBytes] = {};
    uint32_t m_headerHave = 0;

    // The unit being assembled.
    bool m_open = false;
    bool m_hasPicture = false;
    uint64_t m_unitStart = 0;
    AccessUnit m_unit;
    Stamp m_stamp;
    bool m_hasStamp = false;

    // Sequence and GOP state.
    SequenceEvent m_sequence;
    bool m_sequencePending = false;
    uint32_t m_sequenceCount = 0;
    uint32_t m_gopCount = 0;
    bool m_closedGop = false, m_brokenLink = false;
    uint32_t m_rateNum = 25, m_rateDen = 1;

    // Presentation times of pictures without a coded PTS: display order within the GOP
    // from a picture that had one.
    bool m_anchorValid = false;
    int64_t m_anchor27 = 0;        // presentation time of temporal reference 0
    uint32_t m_picturesInGop = 0;
};

}  // namespace model
