#include "syntax/dvd/IfoAttributes.h"

#include "syntax/dvd/IfoBytes.h"

#include <cinttypes>
#include <cstdio>

// ---------------------------------------------------------------------------- video

void CIfoVideoAttr::Parse(const CIfoBytes& b, uint32_t offset)
{
    const uint8_t b0 = b.U8(offset), b1 = b.U8(offset + 1);
    m_nMpegVersion = b0 >> 6;
    m_nVideoFormat = (b0 >> 4) & 3;
    m_nDisplayAspectRatio = (b0 >> 2) & 3;
    m_nPermittedDf = b0 & 3;
    m_nLine21Cc1 = b1 >> 7;
    m_nLine21Cc2 = (b1 >> 6) & 1;
    m_nUnknown1 = (b1 >> 5) & 1;
    m_nBitRate = (b1 >> 4) & 1;
    m_nPictureSize = (b1 >> 2) & 3;
    m_nLetterboxed = (b1 >> 1) & 1;
    m_nFilmMode = b1 & 1;
}

uint32_t CIfoVideoAttr::Width() const
{
    constexpr uint32_t kWidths[4] = {720, 704, 352, 352};
    return kWidths[m_nPictureSize & 3];
}

uint32_t CIfoVideoAttr::Height() const
{
    const uint32_t full = Pal() ? 576 : 480;
    return m_nPictureSize == 3 ? full / 2 : full;
}

std::string CIfoVideoAttr::AspectText() const
{
    if (m_nDisplayAspectRatio == 0)
        return "4:3";
    if (m_nDisplayAspectRatio == 3)
        return "16:9";
    return "reserved (" + std::to_string(m_nDisplayAspectRatio) + ")";
}

// ---------------------------------------------------------------------------- audio

void CIfoAudioAttr::Parse(const CIfoBytes& b, uint32_t offset)
{
    const uint8_t b0 = b.U8(offset), b1 = b.U8(offset + 1);
    m_nAudioFormat = b0 >> 5;
    m_nMultichannelExtension = (b0 >> 4) & 1;
    m_nLangType = (b0 >> 2) & 3;
    m_nApplicationMode = b0 & 3;
    m_nQuantization = b1 >> 6;
    m_nSampleFrequency = (b1 >> 4) & 3;
    m_nUnknown1 = (b1 >> 3) & 1;
    m_nChannels = b1 & 7;
    m_nLangCode = b.U16(offset + 2);
    m_nLangExtension = b.U8(offset + 4);
    m_nCodeExtension = b.U8(offset + 5);
    m_nUnknown3 = b.U8(offset + 6);
    m_nAppInfo = b.U8(offset + 7);
}

std::string CIfoAudioAttr::FormatText() const
{
    switch (m_nAudioFormat)
    {
    case 0: return "ac3";
    case 2: return "mpeg1";
    case 3: return "mpeg2ext";
    case 4: return "lpcm";
    case 5: return "sdds";
    case 6: return "dts";
    }
    return "reserved (" + std::to_string(m_nAudioFormat) + ")";
}

uint8_t CIfoAudioAttr::StreamBase() const
{
    switch (m_nAudioFormat)
    {
    case 0: return 0x80;
    case 2:
    case 3: return 0xC0;
    case 4: return 0xA0;
    case 6: return 0x88;
    }
    return 0;
}

// ---------------------------------------------------------------------------- subpictures

void CIfoSubpAttr::Parse(const CIfoBytes& b, uint32_t offset)
{
    const uint8_t b0 = b.U8(offset);
    m_nCodeMode = b0 >> 5;
    m_nZero1 = (b0 >> 2) & 7;
    m_nType = b0 & 3;
    m_nZero2 = b.U8(offset + 1);
    m_nLangCode = b.U16(offset + 2);
    m_nLangExtension = b.U8(offset + 4);
    m_nCodeExtension = b.U8(offset + 5);
}

std::string LanguageText(uint16_t code)
{
    const char a = static_cast<char>(code >> 8), c = static_cast<char>(code & 0xFF);
    const auto letter = [](char x) { return (x >= 'a' && x <= 'z') || (x >= 'A' && x <= 'Z'); };
    if (!letter(a) || !letter(c))
        return std::string();
    return std::string{a, c};
}

// ---------------------------------------------------------------------------- times

namespace
{
bool Bcd(uint8_t v) { return (v >> 4) <= 9 && (v & 0x0F) <= 9; }
uint32_t FromBcd(uint8_t v) { return (v >> 4) * 10u + (v & 0x0Fu); }
}  // namespace

void CIfoTime::Parse(const CIfoBytes& b, uint32_t offset)
{
    m_nHour = b.U8(offset);
    m_nMinute = b.U8(offset + 1);
    m_nSecond = b.U8(offset + 2);
    m_nFrameU = b.U8(offset + 3);
}

bool CIfoTime::Valid() const
{
    const uint8_t frames = m_nFrameU & 0x3F;
    if (!Bcd(m_nHour) || !Bcd(m_nMinute) || !Bcd(m_nSecond) || !Bcd(frames))
        return false;
    if (FromBcd(m_nMinute) >= 60 || FromBcd(m_nSecond) >= 60)
        return false;
    return NominalRate() != 0 && FromBcd(frames) < NominalRate();
}

uint64_t CIfoTime::Frames() const
{
    const uint64_t rate = NominalRate() ? NominalRate() : 25;
    const uint64_t seconds = (FromBcd(m_nHour) * 60ull + FromBcd(m_nMinute)) * 60ull + FromBcd(m_nSecond);
    return seconds * rate + FromBcd(m_nFrameU & 0x3F);
}

int64_t CIfoTime::Ticks90() const { return static_cast<int64_t>(Frames()) * FrameTicks(); }

int64_t CIfoTime::DisplayMs() const
{
    const int64_t seconds = (FromBcd(m_nHour) * 60 + FromBcd(m_nMinute)) * 60 + FromBcd(m_nSecond);
    const double fps = RateFlag() == 3 ? 29.97 : RateFlag() == 1 ? 25.0 : 0.0;
    const int64_t frames = fps > 0 ? static_cast<int64_t>(FromBcd(m_nFrameU & 0x3F) * 1000.0 / fps) : 0;
    return seconds * 1000 + frames;
}

std::string CIfoTime::Text() const { return MsText(DisplayMs()); }

std::string MsText(int64_t ms)
{
    const bool negative = ms < 0;
    const uint64_t v = negative ? 0 - static_cast<uint64_t>(ms) : static_cast<uint64_t>(ms);
    char text[48];
    std::snprintf(text, sizeof text, "%s%02" PRIu64 ":%02" PRIu64 ":%02" PRIu64 ".%03" PRIu64, negative ? "-" : "",
                  v / 3600000, v / 60000 % 60, v / 1000 % 60, v % 1000);
    return text;
}
