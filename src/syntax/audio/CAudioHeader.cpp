#include "syntax/audio/CAudioHeader.h"

namespace
{
// kbit/s by version (1, 2), layer (I, II, III) and bit rate index 1..14. Version 2 is
// ISO/IEC 13818-3's lower sampling frequencies, where layers II and III share a row.
const int32_t kBitRates[2][3][14] = {
    {
        {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    },
    {
        {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
        {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    },
};

// kHz by version and sampling frequency index 0..2.
const double kSamplingFrequencies[2][3] = {
    {44.1, 48.0, 32.0},
    {22.05, 24.0, 16.0},
};

struct FrameFields
{
    uint32_t version, layer, protection, bitRateIndex, samplingIndex, padding;
};

FrameFields FieldsOf(uint8_t b1, uint8_t b2)
{
    FrameFields f;
    f.version = (b1 & 0x08) ? 1 : 2;
    f.layer = 4 - ((b1 >> 1) & 3);
    f.protection = b1 & 1;
    f.bitRateIndex = b2 >> 4;
    f.samplingIndex = (b2 >> 2) & 3;
    f.padding = (b2 >> 1) & 1;
    return f;
}

// Samples per frame / 8: 12 for layer I, 144 for layer II and for layer III of version 1,
// 72 for layer III of version 2.
double SlotFactor(uint32_t version, uint32_t layer)
{
    if (layer == 1)
        return 12.0;
    if (layer == 3 && version == 2)
        return 72.0;
    return 144.0;
}

// Frame length (bytes) and duration (ms) for the fields; both 0 without table entries.
void FrameSize(const FrameFields& f, int32_t& length, double& duration)
{
    length = 0;
    duration = 0.0;
    const int32_t bitRate = CAudioHeader::BitRateFor(f.version, f.layer, f.bitRateIndex);
    const double sampling = CAudioHeader::SamplingFrequencyFor(f.version, f.samplingIndex);
    if (bitRate <= 0 || sampling <= 0.0)
        return;
    const double slotSize = f.layer == 1 ? 4.0 : 1.0;
    const double slots = SlotFactor(f.version, f.layer) * bitRate / sampling;
    length = (static_cast<int32_t>(slots) + static_cast<int32_t>(f.padding)) * static_cast<int32_t>(slotSize);
    duration = slots * slotSize * 8 / bitRate;
}
}  // namespace

int32_t CAudioHeader::BitRateFor(uint32_t version, uint32_t layer, uint32_t index)
{
    if (version < 1 || version > 2 || layer < 1 || layer > 3 || index < 1 || index > 14)
        return 0;
    return kBitRates[version - 1][layer - 1][index - 1];
}

double CAudioHeader::SamplingFrequencyFor(uint32_t version, uint32_t index)
{
    if (version < 1 || version > 2 || index > 2)
        return 0.0;
    return kSamplingFrequencies[version - 1][index];
}

double CAudioHeader::DurationFor(uint8_t b1, uint8_t b2)
{
    int32_t length;
    double duration;
    FrameSize(FieldsOf(b1, b2), length, duration);
    return duration;
}

// ---------------------------------------------------------------------------- parsing

int32_t CAudioHeader::Parse(const uint8_t* bytes, int32_t available)
{
    for (int i = 0; i < 4; ++i)
        m_raw[i] = (bytes && i < available) ? bytes[i] : 0;
    const FrameFields f = FieldsOf(m_raw[1], m_raw[2]);
    m_nVersion = static_cast<uint8_t>(f.version);
    m_nLayer = static_cast<uint8_t>(f.layer);
    m_nProtectionBit = static_cast<uint8_t>(f.protection);
    m_nBitRateIndex = static_cast<uint8_t>(f.bitRateIndex);
    m_nBitRate = BitRateFor(f.version, f.layer, f.bitRateIndex);
    m_nSamplingFrequencyIndex = static_cast<uint8_t>(f.samplingIndex);
    m_dSamplingFrequency = SamplingFrequencyFor(f.version, f.samplingIndex);
    m_nPaddingBit = static_cast<uint8_t>(f.padding);
    FrameSize(f, m_nFrameLength, m_dFrameDuration);
    return m_nFrameLength;
}
