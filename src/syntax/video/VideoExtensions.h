#pragma once
// The MPEG-2 video extensions the stream model reads (after 00 00 01 B5): the sequence
// extension (profile and level, progressive sequence, chroma format, the high bits of
// size and rates) and the picture coding extension (picture structure and the field
// flags that set a picture's display duration).

#include <cstddef>
#include <cstdint>

// extension_start_code_identifier of the first byte after 00 00 01 B5.
namespace ExtensionId
{
constexpr uint8_t Sequence = 1;
constexpr uint8_t PictureCoding = 8;
}  // namespace ExtensionId

struct CSequenceExtension
{
    // b: the bytes after the start code, n of them. False when n does not cover the six
    // bytes or the identifier is not 1.
    bool Parse(const uint8_t* b, size_t n);

    uint32_t m_nExtensionId = 0;          // 4 bits
    uint32_t m_nProfileAndLevel = 0;      // 8 bits
    uint32_t m_nProgressiveSequence = 0;  // 1 bit
    uint32_t m_nChromaFormat = 0;         // 2 bits: 1 4:2:0, 2 4:2:2, 3 4:4:4
    uint32_t m_nHorizontalSizeExtension = 0;  // 2 bits
    uint32_t m_nVerticalSizeExtension = 0;    // 2 bits
    uint32_t m_nBitRateExtension = 0;     // 12 bits
    uint32_t m_nVbvBufferSizeExtension = 0;  // 8 bits
    uint32_t m_nLowDelay = 0;             // 1 bit
    uint32_t m_nFrameRateExtensionN = 0;  // 2 bits
    uint32_t m_nFrameRateExtensionD = 0;  // 5 bits
};

struct CPictureCodingExtension
{
    // b: the bytes after the start code, n of them. False when n does not cover the five
    // bytes or the identifier is not 8.
    bool Parse(const uint8_t* b, size_t n);

    uint32_t m_nExtensionId = 0;         // 4 bits
    uint32_t m_nFCode[2][2] = {};        // 4 bits each
    uint32_t m_nIntraDcPrecision = 0;    // 2 bits
    uint32_t m_nPictureStructure = 0;    // 2 bits: 1 top field, 2 bottom field, 3 frame
    uint32_t m_nTopFieldFirst = 0;       // 1 bit
    uint32_t m_nFramePredFrameDct = 0;   // 1 bit
    uint32_t m_nConcealmentMotionVectors = 0;  // 1 bit
    uint32_t m_nQScaleType = 0;          // 1 bit
    uint32_t m_nIntraVlcFormat = 0;      // 1 bit
    uint32_t m_nAlternateScan = 0;       // 1 bit
    uint32_t m_nRepeatFirstField = 0;    // 1 bit
    uint32_t m_nChroma420Type = 0;       // 1 bit
    uint32_t m_nProgressiveFrame = 0;    // 1 bit
};
