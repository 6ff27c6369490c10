#include "syntax/dvd/AudioSubstreams.h"

// ---------------------------------------------------------------------------- substream header

bool CSubstreamHeader::Parse(const uint8_t* b, size_t n)
{
    if (!b || n < 1)
        return false;
    m_nSubstreamId = b[0];
    m_bAudio = Substream::IsAc3(m_nSubstreamId) || Substream::IsDts(m_nSubstreamId)
        || Substream::IsLpcm(m_nSubstreamId);
    m_nSize = !m_bAudio ? 1 : Substream::IsLpcm(m_nSubstreamId) ? 7 : 4;
    if (!m_bAudio)
        return true;
    if (n < 4)
        return false;
    m_nFrameCount = b[1];
    m_nFirstAccessUnit = static_cast<uint16_t>((b[2] << 8) | b[3]);
    return n >= m_nSize;
}

// ---------------------------------------------------------------------------- AC-3

namespace
{
// kbit/s by frmsizecod / 2.
const uint16_t kAc3BitRates[19] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160,
                                   192, 224, 256, 320, 384, 448, 512, 576, 640};
const uint32_t kAc3SampleRates[3] = {48000, 44100, 32000};
const uint8_t kAc3Channels[8] = {2, 1, 2, 3, 3, 4, 4, 5};
}  // namespace

const char* CAc3Header::ChannelModeText(uint32_t acmod)
{
    static const char* const kModes[8] = {"1+1", "1/0", "2/0", "3/0", "2/1", "3/1", "2/2", "3/2"};
    return kModes[acmod & 7];
}

uint32_t CAc3Header::Parse(const uint8_t* b, size_t n)
{
    m_nFrameSize = 0;
    if (!b || n < 5 || b[0] != 0x0B || b[1] != 0x77)
        return 0;
    m_nCrc1 = (uint32_t{b[2]} << 8) | b[3];
    m_nFscod = b[4] >> 6;
    m_nFrmsizecod = b[4] & 0x3F;
    if (m_nFscod == 3 || m_nFrmsizecod >= 38)
        return 0;
    const uint32_t kbps = kAc3BitRates[m_nFrmsizecod / 2];
    m_nSampleRate = kAc3SampleRates[m_nFscod];
    m_nBitRate = kbps * 1000;
    // 16-bit words per frame: 1536 samples at the bit rate, rounded down at 44.1 kHz
    // where odd codes carry one more word.
    uint32_t words = kbps * 2;
    if (m_nFscod == 1)
        words = kbps * 96000 / 44100 + (m_nFrmsizecod & 1);
    else if (m_nFscod == 2)
        words = kbps * 3;
    if (n < 7)
        return 0;
    m_nBsid = b[5] >> 3;
    m_nBsmod = b[5] & 7;
    m_nAcmod = b[6] >> 5;
    // lfeon follows the optional mix levels: cmixlev (2 bits) with three front channels,
    // surmixlev (2) with surround, dsurmod (2) in 2/0.
    uint32_t bit = 3;
    if ((m_nAcmod & 1) && m_nAcmod != 1)
        bit += 2;
    if (m_nAcmod & 4)
        bit += 2;
    if (m_nAcmod == 2)
        bit += 2;
    const uint32_t bits = (uint32_t{b[6]} << 8) | (n > 7 ? b[7] : 0);
    m_nLfeon = (bits >> (15 - bit)) & 1;
    m_nChannels = kAc3Channels[m_nAcmod] + m_nLfeon;
    m_nFrameSize = words * 2;
    return m_nFrameSize;
}

// ---------------------------------------------------------------------------- DTS

namespace
{
const uint32_t kDtsSampleRates[16] = {0, 8000, 16000, 32000, 0, 0, 11025, 22050,
                                      44100, 0, 0, 12000, 24000, 48000, 0, 0};
// kbit/s by RATE; the last three are open, variable and lossless.
const uint16_t kDtsBitRates[32] = {32, 56, 64, 96, 112, 128, 192, 224, 256, 320, 384,
                                   448, 512, 576, 640, 768, 960, 1024, 1152, 1280, 1344, 1408,
                                   1411, 1472, 1536, 1920, 2048, 3072, 3840, 0, 0, 0};
const uint8_t kDtsChannels[16] = {1, 2, 2, 2, 2, 3, 3, 4, 4, 5, 6, 6, 6, 7, 8, 8};
}  // namespace

uint32_t CDtsHeader::Parse(const uint8_t* b, size_t n)
{
    m_nFrameSize = 0;
    if (!b || n < 11 || b[0] != 0x7F || b[1] != 0xFE || b[2] != 0x80 || b[3] != 0x01)
        return 0;
    m_nFtype = b[4] >> 7;
    m_nShort = (b[4] >> 2) & 0x1F;
    m_nCpf = (b[4] >> 1) & 1;
    m_nNblks = ((b[4] & 1u) << 6) | (b[5] >> 2);
    m_nFsize = ((b[5] & 3u) << 12) | (uint32_t{b[6]} << 4) | (b[7] >> 4);
    m_nAmode = ((b[7] & 0x0Fu) << 2) | (b[8] >> 6);
    m_nSfreq = (b[8] >> 2) & 0x0F;
    m_nRate = ((b[8] & 3u) << 3) | (b[9] >> 5);
    // FIXEDBIT, DYNF, TIMEF, AUXF, HDCD (5 bits), EXT_AUDIO_ID (3), EXT_AUDIO, ASPF, LFF (2)
    m_nLff = (b[10] >> 1) & 3;
    m_nSampleRate = kDtsSampleRates[m_nSfreq];
    m_nBitRate = kDtsBitRates[m_nRate] * 1000u;
    m_nChannels = (m_nAmode < 16 ? kDtsChannels[m_nAmode] : 0) + (m_nLff ? 1 : 0);
    m_nSamplesPerFrame = (m_nNblks + 1) * 32;
    if (m_nFsize < 95 || m_nSampleRate == 0 || m_nNblks < 5)
        return 0;
    m_nFrameSize = m_nFsize + 1;
    return m_nFrameSize;
}

// ---------------------------------------------------------------------------- LPCM

bool CLpcmHeader::Parse(const uint8_t* b, size_t n)
{
    if (!b || n < 3)
        return false;
    m_nEmphasis = b[0] >> 7;
    m_nMute = (b[0] >> 6) & 1;
    m_nFrameNumber = b[0] & 0x1F;
    m_nQuantization = b[1] >> 6;
    m_nSamplingFrequency = (b[1] >> 4) & 3;
    m_nChannelsMinus1 = b[1] & 7;
    m_nDynamicRange = b[2];
    static const uint32_t kBits[4] = {16, 20, 24, 0};
    static const uint32_t kRates[4] = {48000, 96000, 0, 0};
    m_nBitsPerSample = kBits[m_nQuantization];
    m_nSampleRate = kRates[m_nSamplingFrequency];
    m_nChannels = m_nChannelsMinus1 + 1;
    return m_nBitsPerSample != 0 && m_nSampleRate != 0;
}
