#include "syntax/video/VideoExtensions.h"

bool CSequenceExtension::Parse(const uint8_t* b, size_t n)
{
    if (!b || n < 6)
        return false;
    m_nExtensionId = b[0] >> 4;
    m_nProfileAndLevel = ((b[0] & 0x0Fu) << 4) | (b[1] >> 4);
    m_nProgressiveSequence = (b[1] >> 3) & 1;
    m_nChromaFormat = (b[1] >> 1) & 3;
    m_nHorizontalSizeExtension = ((b[1] & 1u) << 1) | (b[2] >> 7);
    m_nVerticalSizeExtension = (b[2] >> 5) & 3;
    m_nBitRateExtension = ((b[2] & 0x1Fu) << 7) | (b[3] >> 1);
    m_nVbvBufferSizeExtension = b[4];
    m_nLowDelay = b[5] >> 7;
    m_nFrameRateExtensionN = (b[5] >> 5) & 3;
    m_nFrameRateExtensionD = b[5] & 0x1F;
    return m_nExtensionId == ExtensionId::Sequence;
}

bool CPictureCodingExtension::Parse(const uint8_t* b, size_t n)
{
    if (!b || n < 5)
        return false;
    m_nExtensionId = b[0] >> 4;
    m_nFCode[0][0] = b[0] & 0x0F;
    m_nFCode[0][1] = b[1] >> 4;
    m_nFCode[1][0] = b[1] & 0x0F;
    m_nFCode[1][1] = b[2] >> 4;
    m_nIntraDcPrecision = (b[2] >> 2) & 3;
    m_nPictureStructure = b[2] & 3;
    m_nTopFieldFirst = b[3] >> 7;
    m_nFramePredFrameDct = (b[3] >> 6) & 1;
    m_nConcealmentMotionVectors = (b[3] >> 5) & 1;
    m_nQScaleType = (b[3] >> 4) & 1;
    m_nIntraVlcFormat = (b[3] >> 3) & 1;
    m_nAlternateScan = (b[3] >> 2) & 1;
    m_nRepeatFirstField = (b[3] >> 1) & 1;
    m_nChroma420Type = b[3] & 1;
    m_nProgressiveFrame = b[4] >> 7;
    return m_nExtensionId == ExtensionId::PictureCoding;
}
