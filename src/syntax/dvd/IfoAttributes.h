#pragma once
// The attribute fields of the IFO files: the video, audio and subpicture attributes of a
// domain's streams, and the playback time of cells and PGCs. Fields MSB first, named as
// in the public layouts.

#include <cstdint>
#include <string>

class CIfoBytes;

// Video attributes: 2 bytes.
struct CIfoVideoAttr
{
    void Parse(const CIfoBytes& b, uint32_t offset);

    uint8_t m_nMpegVersion = 0;        // 2 bits: 0 MPEG-1, 1 MPEG-2
    uint8_t m_nVideoFormat = 0;        // 2 bits: 0 NTSC (525/60), 1 PAL (625/50)
    uint8_t m_nDisplayAspectRatio = 0; // 2 bits: 0 4:3, 3 16:9
    uint8_t m_nPermittedDf = 0;        // 2 bits: pan-scan / letterbox not permitted
    uint8_t m_nLine21Cc1 = 0;          // 1 bit
    uint8_t m_nLine21Cc2 = 0;          // 1 bit
    uint8_t m_nUnknown1 = 0;           // 1 bit
    uint8_t m_nBitRate = 0;            // 1 bit: 0 variable, 1 constant
    uint8_t m_nPictureSize = 0;        // 2 bits: 0 720, 1 704, 2 352 wide, 3 352x half height
    uint8_t m_nLetterboxed = 0;        // 1 bit
    uint8_t m_nFilmMode = 0;           // 1 bit

    uint32_t Width() const;
    uint32_t Height() const;
    // 25 or 30000/1001 frames per second, from the video format.
    bool Pal() const { return m_nVideoFormat == 1; }
    // "4:3", "16:9", or "reserved (1)".
    std::string AspectText() const;
    bool operator==(const CIfoVideoAttr&) const = default;
};

// Audio attributes: 8 bytes.
struct CIfoAudioAttr
{
    void Parse(const CIfoBytes& b, uint32_t offset);

    uint8_t m_nAudioFormat = 0;          // 3 bits: 0 AC-3, 2 MPEG-1, 3 MPEG-2 ext, 4 LPCM, 6 DTS
    uint8_t m_nMultichannelExtension = 0;// 1 bit
    uint8_t m_nLangType = 0;             // 2 bits: 1 the language code is valid
    uint8_t m_nApplicationMode = 0;      // 2 bits
    uint8_t m_nQuantization = 0;         // 2 bits: LPCM 16/20/24 bits; else dynamic range control
    uint8_t m_nSampleFrequency = 0;      // 2 bits: 0 48 kHz, 1 96 kHz
    uint8_t m_nUnknown1 = 0;             // 1 bit
    uint8_t m_nChannels = 0;             // 3 bits: channels - 1
    uint16_t m_nLangCode = 0;            // 16 bits: ISO 639 letters
    uint8_t m_nLangExtension = 0;        // 8 bits
    uint8_t m_nCodeExtension = 0;        // 8 bits
    uint8_t m_nUnknown3 = 0;             // 8 bits
    uint8_t m_nAppInfo = 0;              // 8 bits

    // "ac3", "mpeg1", "mpeg2ext", "lpcm", "dts", "sdds" or "reserved (n)", as lsdvd
    // names them.
    std::string FormatText() const;
    uint32_t SampleRate() const { return m_nSampleFrequency == 0 ? 48000 : m_nSampleFrequency == 1 ? 96000 : 0; }
    uint32_t ChannelCount() const { return m_nChannels + 1u; }
    // The first stream id of the format on the disc: 0x80 AC-3, 0x88 DTS, 0xA0 LPCM
    // (substreams of private stream 1), 0xC0 MPEG audio; 0 for reserved formats.
    uint8_t StreamBase() const;
    bool IsSubstream() const { return m_nAudioFormat != 2 && m_nAudioFormat != 3; }
    bool operator==(const CIfoAudioAttr&) const = default;
};

// Subpicture attributes: 6 bytes.
struct CIfoSubpAttr
{
    void Parse(const CIfoBytes& b, uint32_t offset);

    uint8_t m_nCodeMode = 0;        // 3 bits: 0 run length
    uint8_t m_nZero1 = 0;           // 3 bits
    uint8_t m_nType = 0;            // 2 bits: 1 the language code is valid
    uint8_t m_nZero2 = 0;           // 8 bits
    uint16_t m_nLangCode = 0;       // 16 bits
    uint8_t m_nLangExtension = 0;   // 8 bits
    uint8_t m_nCodeExtension = 0;   // 8 bits
    bool operator==(const CIfoSubpAttr&) const = default;
};

// "en" from an ISO 639 code in two bytes; empty where the bytes are not two letters.
std::string LanguageText(uint16_t code);

// A playback time: 4 bytes, hours, minutes and seconds in BCD, then the frame rate in the
// top two bits of the last byte and the frames in BCD below.
struct CIfoTime
{
    void Parse(const CIfoBytes& b, uint32_t offset);

    uint8_t m_nHour = 0;      // 8 bits BCD
    uint8_t m_nMinute = 0;    // 8 bits BCD
    uint8_t m_nSecond = 0;    // 8 bits BCD
    uint8_t m_nFrameU = 0;    // 2 bits rate (1 25 fps, 3 30000/1001 fps), 6 bits BCD frames

    uint8_t RateFlag() const { return m_nFrameU >> 6; }
    // Frames per second as the time counts them: 25, or 30 (a 29.97 fps time counts 30
    // frames to its second); 0 for the reserved flags.
    uint32_t NominalRate() const { return RateFlag() == 1 ? 25 : RateFlag() == 3 ? 30 : 0; }
    // Every digit is a decimal digit, minutes and seconds below 60, frames below the rate.
    bool Valid() const;
    // The time as frames counted at the nominal rate.
    uint64_t Frames() const;
    // The time in 90 kHz ticks: frames at their real rate (30 counted frames take 1.001 s).
    // A time with a reserved rate flag counts its frames at 25 per second.
    int64_t Ticks90() const;
    double Seconds() const { return static_cast<double>(Ticks90()) / 90000.0; }
    // The time as a player shows it, in milliseconds: the coded hours, minutes and seconds,
    // and the frames at 25 or 29.97 per second (how lsdvd reads it too). For a 29.97 fps
    // time this is shorter than Ticks90 by a thousandth.
    int64_t DisplayMs() const;
    // DisplayMs as "01:02:03.480".
    std::string Text() const;
    // The frame period in 90 kHz ticks (3600, or 3003).
    int64_t FrameTicks() const { return RateFlag() == 3 ? 3003 : 3600; }
};
// Milliseconds as "01:02:03.480".
std::string MsText(int64_t ms);
