#pragma once
// The DVD private stream 1 substream header and the audio frame headers carried in it:
// AC-3 sync frames, DTS core frames and the LPCM header.

#include <cstddef>
#include <cstdint>

// Substream id ranges of private stream 1.
namespace Substream
{
constexpr bool IsSubpicture(uint8_t id) { return id >= 0x20 && id <= 0x3F; }
constexpr bool IsAc3(uint8_t id) { return id >= 0x80 && id <= 0x87; }
constexpr bool IsDts(uint8_t id) { return id >= 0x88 && id <= 0x8F; }
constexpr bool IsLpcm(uint8_t id) { return id >= 0xA0 && id <= 0xA7; }
}  // namespace Substream

// The bytes in front of the audio data of a private stream 1 packet: the substream id,
// and for audio the frame count and the first access unit pointer.
struct CSubstreamHeader
{
    // b: the first payload bytes of the packet, n of them. Subpictures have the id only;
    // AC-3 and DTS four bytes; LPCM seven (the last three are its own header). False
    // when n is too short for the substream's header.
    bool Parse(const uint8_t* b, size_t n);

    uint8_t m_nSubstreamId = 0;        // 8 bits
    uint8_t m_nFrameCount = 0;         // 8 bits: frames that start in this packet
    uint16_t m_nFirstAccessUnit = 0;   // 16 bits: 1 + bytes from the end of this field
                                       // to the first frame that starts; 0 = none
    bool m_bAudio = false;             // frame count and pointer present
    uint32_t m_nSize = 1;              // header bytes in front of the elementary data
};

// AC-3 sync frame: syncinfo and the start of the bit stream information.
struct CAc3Header
{
    // b: from the sync word 0B 77, n bytes. Returns the frame size in bytes, 0 for an
    // invalid header (no sync word, reserved codes, short data).
    uint32_t Parse(const uint8_t* b, size_t n);

    uint32_t m_nCrc1 = 0;        // 16 bits
    uint32_t m_nFscod = 0;       // 2 bits: 48, 44.1, 32 kHz
    uint32_t m_nFrmsizecod = 0;  // 6 bits
    uint32_t m_nBsid = 0;        // 5 bits
    uint32_t m_nBsmod = 0;       // 3 bits
    uint32_t m_nAcmod = 0;       // 3 bits: channel mode
    uint32_t m_nLfeon = 0;       // 1 bit
    uint32_t m_nSampleRate = 0;  // Hz
    uint32_t m_nBitRate = 0;     // bit/s
    uint32_t m_nFrameSize = 0;   // bytes
    uint32_t m_nChannels = 0;    // full-bandwidth channels plus LFE

    static constexpr uint32_t kSamplesPerFrame = 1536;
    // "1+1", "1/0", "2/0", "3/0", "2/1", "3/1", "2/2", "3/2"
    static const char* ChannelModeText(uint32_t acmod);
};

// DTS core frame header.
struct CDtsHeader
{
    // b: from the sync word 7F FE 80 01, n bytes. Returns the frame size in bytes, 0 for
    // an invalid header.
    uint32_t Parse(const uint8_t* b, size_t n);

    uint32_t m_nFtype = 0;       // 1 bit
    uint32_t m_nShort = 0;       // 5 bits
    uint32_t m_nCpf = 0;         // 1 bit
    uint32_t m_nNblks = 0;       // 7 bits
    uint32_t m_nFsize = 0;       // 14 bits: frame size - 1
    uint32_t m_nAmode = 0;       // 6 bits
    uint32_t m_nSfreq = 0;       // 4 bits
    uint32_t m_nRate = 0;        // 5 bits
    uint32_t m_nLff = 0;         // 2 bits
    uint32_t m_nSampleRate = 0;  // Hz
    uint32_t m_nBitRate = 0;     // bit/s, 0 for open, variable or lossless
    uint32_t m_nChannels = 0;
    uint32_t m_nSamplesPerFrame = 0;  // (NBLKS + 1) * 32
    uint32_t m_nFrameSize = 0;   // bytes
};

// DVD LPCM header: the three bytes after the substream header.
struct CLpcmHeader
{
    bool Parse(const uint8_t* b, size_t n);

    uint32_t m_nEmphasis = 0;         // 1 bit
    uint32_t m_nMute = 0;             // 1 bit
    uint32_t m_nFrameNumber = 0;      // 5 bits
    uint32_t m_nQuantization = 0;     // 2 bits: 16, 20, 24 bits per sample
    uint32_t m_nSamplingFrequency = 0;  // 2 bits: 48, 96 kHz
    uint32_t m_nChannelsMinus1 = 0;   // 3 bits
    uint32_t m_nDynamicRange = 0;     // 8 bits
    uint32_t m_nBitsPerSample = 0;
    uint32_t m_nSampleRate = 0;       // Hz, 0 for a reserved code
    uint32_t m_nChannels = 0;
    // An LPCM frame lasts 1/600 s: 80 samples at 48 kHz.
    uint32_t SamplesPerFrame() const { return m_nSampleRate / 600; }
    uint32_t FrameSize() const { return SamplesPerFrame() * m_nChannels * m_nBitsPerSample / 8; }
};
