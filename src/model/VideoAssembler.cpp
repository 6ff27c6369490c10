#include "model/VideoAssembler.h"

#include "syntax/video/CGopHeader.h"
#include "syntax/video/CPictureHeader.h"
#include "syntax/video/CSequenceHeader.h"
#include "syntax/video/VideoExtensions.h"

#include <algorithm>
#include <cstring>

namespace model
{

namespace
{
constexpr uint8_t kPicture = mpeg::kPictureStart;
constexpr uint8_t kSequenceHeader = mpeg::kSequenceHeader;
constexpr uint8_t kExtension = mpeg::kExtensionStart;
constexpr uint8_t kGroupOfPictures = mpeg::kGroupStart;
constexpr uint8_t kSequenceEnd = mpeg::kSequenceEnd;
}  // namespace

// ---------------------------------------------------------------------------- start-code search

void CVideoAssembler::Consume(const uint8_t* data, uint32_t size)
{
    // The rest of a header that began in an earlier piece.
    if (m_headerCode >= 0)
        CollectHeader(data, size);

    m_joiner.Scan(data, size, m_esPos, [&](uint8_t code, uint64_t pos, const uint8_t* after, size_t available) {
        OnStartCode(code, pos, after, static_cast<uint32_t>(available));
    });
}

void CVideoAssembler::CollectHeader(const uint8_t* bytes, uint32_t available)
{
    const uint32_t take = std::min(kHeaderBytes - m_headerHave, available);
    std::memcpy(m_header + m_headerHave, bytes, take);
    m_headerHave += take;
    if (m_headerHave == kHeaderBytes)
        FinishHeader();
}

void CVideoAssembler::OnStartCode(uint8_t code, uint64_t esPos, const uint8_t* after, uint32_t available)
{
    if (m_headerCode >= 0)
        FinishHeader();
    switch (code)
    {
    case kSequenceHeader:
    case kGroupOfPictures:
        if (m_open && m_hasPicture)
            CloseUnit(esPos);
        if (!m_open)
            OpenUnit(esPos);
        if (code == kSequenceHeader)
        {
            m_unit.sequenceStart = true;
            m_sequence = SequenceEvent{};
            m_sequence.stream = m_key;
            m_sequence.index = m_sequenceCount++;
            Locate(esPos, m_sequence.offset, m_sequence.pack);
        }
        else
            m_unit.gopStart = true;
        break;
    case kPicture:
        if (m_open && m_hasPicture)
            CloseUnit(esPos);
        if (!m_open)
            OpenUnit(esPos);
        m_hasPicture = true;
        m_hasStamp = TakeStamp(esPos, m_stamp);
        if (m_sequencePending)
        {
            m_sequencePending = false;
            m_sink.OnSequence(m_sequence);
        }
        break;
    case kExtension:
        break;
    case kSequenceEnd:
        // The picture before it is the sequence's last: it ends with the code (a still
        // is complete here, however long it is shown).
        if (m_open && m_hasPicture)
        {
            m_unit.sequenceEnd = true;
            CloseUnit(esPos + 4);
        }
        return;
    default:
        return;
    }
    m_headerCode = code;
    m_headerHave = 0;
    std::memset(m_header, 0, sizeof m_header);
    CollectHeader(after, available);
}

// ---------------------------------------------------------------------------- headers

void CVideoAssembler::FinishHeader()
{
    const int code = m_headerCode;
    m_headerCode = -1;
    if (code == kSequenceHeader)
        OnSequenceHeader();
    else if (code == kGroupOfPictures)
        OnGopHeader();
    else if (code == kPicture)
    {
        CPictureHeader header;
        header.Parse(m_header, m_headerHave);
        m_unit.temporalReference = static_cast<uint16_t>(header.m_nTemporalReference);
        m_unit.pictureType = header.m_nCodingType;
        m_unit.vbvDelay = static_cast<uint16_t>(header.m_nVbvDelay);
        m_unit.progressiveFrame = !m_sequence.mpeg2;
        m_unit.pictureStructure = 3;
    }
    else if (code == kExtension)
        OnExtension();
}

void CVideoAssembler::OnSequenceHeader()
{
    CSequenceHeader header;
    header.Parse(m_header, m_headerHave);
    m_sequence.width = static_cast<uint32_t>(header.m_nHorizontalSize);
    m_sequence.height = static_cast<uint32_t>(header.m_nVerticalSize);
    m_sequence.aspectRatioCode = static_cast<uint8_t>(header.m_nAspectRatioCode);
    m_sequence.frameRateCode = static_cast<uint8_t>(header.m_nFrameRateCode);
    const mpeg::FrameRate rate = mpeg::FrameRateOf(m_sequence.frameRateCode);
    m_sequence.frameRateNum = rate.num;
    m_sequence.frameRateDen = rate.den;
    m_sequence.bitRateValue = static_cast<uint32_t>(header.m_nBitRate) / 400;
    m_sequence.vbvBufferSize = static_cast<uint32_t>(header.m_nVbvBufferSize) * 2048;
    m_sequencePending = true;
    if (m_sequence.frameRateNum)
    {
        m_rateNum = m_sequence.frameRateNum;
        m_rateDen = m_sequence.frameRateDen;
    }
}

void CVideoAssembler::OnGopHeader()
{
    CGopHeader header;
    header.Parse(m_header, m_headerHave);
    m_closedGop = header.m_nClosedGop != 0;
    m_brokenLink = header.m_nBrokenLink != 0;
    ++m_gopCount;
    m_unit.closedGop = m_closedGop;
    m_unit.brokenLink = m_brokenLink;
    m_unit.gopIndex = m_gopCount - 1;
    // Temporal references start again: the next GOP follows the pictures of this one.
    if (m_anchorValid)
        m_anchor27 += static_cast<int64_t>(2 * m_picturesInGop * FieldNum() / FieldDen());
    m_picturesInGop = 0;
}

void CVideoAssembler::OnExtension()
{
    const uint32_t id = m_header[0] >> 4;
    if (id == ExtensionId::Sequence)
    {
        CSequenceExtension ext;
        ext.Parse(m_header, m_headerHave);
        m_sequence.mpeg2 = true;
        m_sequence.profileAndLevel = static_cast<uint8_t>(ext.m_nProfileAndLevel);
        m_sequence.progressiveSequence = ext.m_nProgressiveSequence != 0;
        m_sequence.chromaFormat = static_cast<uint8_t>(ext.m_nChromaFormat);
        m_sequence.width |= ext.m_nHorizontalSizeExtension << 12;
        m_sequence.height |= ext.m_nVerticalSizeExtension << 12;
        m_sequence.bitRateValue |= ext.m_nBitRateExtension << 18;
        m_sequence.vbvBufferSize += ext.m_nVbvBufferSizeExtension << 10 << 11;
        m_sequence.lowDelay = ext.m_nLowDelay != 0;
        m_sequence.frameRateNum *= ext.m_nFrameRateExtensionN + 1;
        m_sequence.frameRateDen *= ext.m_nFrameRateExtensionD + 1;
        if (m_sequence.frameRateNum)
        {
            m_rateNum = m_sequence.frameRateNum;
            m_rateDen = m_sequence.frameRateDen;
        }
    }
    else if (id == ExtensionId::PictureCoding && m_open && m_hasPicture)
    {
        CPictureCodingExtension ext;
        ext.Parse(m_header, m_headerHave);
        m_unit.pictureStructure = static_cast<uint8_t>(ext.m_nPictureStructure);
        m_unit.topFieldFirst = ext.m_nTopFieldFirst != 0;
        m_unit.repeatFirstField = ext.m_nRepeatFirstField != 0;
        m_unit.progressiveFrame = ext.m_nProgressiveFrame != 0;
    }
}

// ---------------------------------------------------------------------------- units

void CVideoAssembler::OpenUnit(uint64_t esPos)
{
    m_open = true;
    m_hasPicture = false;
    m_hasStamp = false;
    m_unitStart = esPos;
    m_unit = AccessUnit{};
    Locate(esPos, m_unit.offset, m_unit.pack);
    m_unit.closedGop = m_closedGop;
    m_unit.brokenLink = m_brokenLink;
    m_unit.gopIndex = m_gopCount ? m_gopCount - 1 : 0;
}

void CVideoAssembler::CloseUnit(uint64_t esEnd)
{
    m_open = false;
    if (!m_hasPicture)
        return;
    m_unit.sequenceIndex = m_sequenceCount ? m_sequenceCount - 1 : 0;
    // Display duration in fields: a frame shows two, a field picture one; repeat_first_field
    // adds one field, or in a progressive sequence doubles or triples the frame.
    uint64_t fields = 2;
    if (m_unit.pictureStructure != 3)
        fields = 1;
    else if (m_unit.repeatFirstField)
        fields = m_sequence.progressiveSequence ? (m_unit.topFieldFirst ? 6 : 4) : 3;
    Place(m_unit, m_unitStart, esEnd);
    Deliver(m_unit, m_hasStamp ? &m_stamp : nullptr, fields * FieldNum(), FieldDen());
    ++m_picturesInGop;
}

void CVideoAssembler::Finish()
{
    if (m_headerCode >= 0)
        FinishHeader();
    if (m_open)
        CloseUnit(m_esPos);
}

void CVideoAssembler::Cut()
{
    Finish();
    m_joiner = CStartCodeJoiner();
    m_sequencePending = false;
    m_anchorValid = false;
    m_picturesInGop = 0;
}

int64_t CVideoAssembler::DerivePts27(const AccessUnit& unit, int64_t dts27)
{
    if (unit.pictureType == 3 || m_sequence.lowDelay)
        return dts27;
    // Without a coded time yet, a reference picture is shown one frame after it is decoded
    // (the delay that B pictures need), and the GOP's other pictures follow from it.
    if (!m_anchorValid)
    {
        m_anchorValid = true;
        m_anchor27 = dts27 + static_cast<int64_t>(2 * FieldNum() / FieldDen())
            - static_cast<int64_t>(2 * unit.temporalReference * FieldNum() / FieldDen());
    }
    return m_anchor27 + static_cast<int64_t>(2 * unit.temporalReference * FieldNum() / FieldDen());
}

void CVideoAssembler::OnCodedPts(const AccessUnit& unit)
{
    m_anchorValid = true;
    m_anchor27 = unit.pts27 - static_cast<int64_t>(2 * unit.temporalReference * FieldNum() / FieldDen());
}

}  // namespace model
