#include "analysis/TreeDisplay.h"

#include "stream/CMpegStreamFile.h"
#include "syntax/audio/CAudioHeader.h"
#include "syntax/system/CPackHeader.h"
#include "syntax/system/CPesHeader.h"
#include "syntax/system/CSystemHeader.h"
#include "syntax/video/CGopHeader.h"
#include "syntax/video/CPictureHeader.h"
#include "syntax/video/CSequenceHeader.h"

// ---------------------------------------------------------------------------- elements

void ShowPackHeader(CResultTree& tree, ItemId headerLine, const CPackHeader& h)
{
    tree.AddValue(headerLine, LineFmt::Scr, h.m_nScrBase);
    tree.AddValue(headerLine, LineFmt::MuxrateBps, h.m_nMuxRateBps);
    const ItemId d = tree.AddGroup(headerLine, LineFmt::Details);
    tree.AddValue(d, LineFmt::Marker01, h.m_nMarker01);
    tree.AddValue(d, LineFmt::ScrBits32to30, h.m_nScr32_30);
    tree.AddValue(d, LineFmt::Marker1, h.m_nMarker1);
    tree.AddValue(d, LineFmt::ScrBits29to15, h.m_nScr29_15);
    tree.AddValue(d, LineFmt::Marker1, h.m_nMarker2);
    tree.AddValue(d, LineFmt::ScrBits14to0, h.m_nScr14_0);
    tree.AddValue(d, LineFmt::Marker1, h.m_nMarker3);
    tree.AddValue(d, LineFmt::ScrExtension, h.m_nScrExtension);
    tree.AddValue(d, LineFmt::Marker1, h.m_nMarker4);
    tree.AddValue(d, LineFmt::MuxrateRaw, h.m_nProgramMuxRate);
    tree.AddValue(d, LineFmt::Marker1, h.m_nMarker5);
    tree.AddValue(d, LineFmt::Marker1, h.m_nMarker6);
    tree.AddValue(d, LineFmt::ReservedHex, h.m_nReserved);
    tree.AddValue(d, LineFmt::PackStuffing, h.m_nStuffingLength);
}

ItemId ShowSystemHeader(CResultTree& tree, ItemId parent, const CSystemHeader& h)
{
    const ItemId s = tree.AddGroup(parent, LineFmt::SystemHeader);
    // A header cut short before its length was taken shows 0, not -2.
    tree.AddValue(s, LineFmt::HeaderLength, static_cast<uint32_t>(h.m_nSize >= 2 ? h.m_nSize - 2 : 0));
    tree.AddValue(s, LineFmt::RateBound, h.m_nRateBound);
    tree.AddValue(s, LineFmt::AudioBound, h.m_nAudioBound);
    tree.AddValue(s, h.m_nFixedFlag ? LineFmt::FixedFlagFbr : LineFmt::FixedFlagVbr, h.m_nFixedFlag ? 1 : 0);
    tree.AddValue(s, h.m_nCspsFlag ? LineFmt::CspsConstrained : LineFmt::CspsUnconstrained, h.m_nCspsFlag ? 1 : 0);
    tree.AddValue(s, LineFmt::SystemAudioLock, h.m_nSystemAudioLock);
    tree.AddValue(s, LineFmt::SystemVideoLock, h.m_nSystemVideoLock);
    tree.AddValue(s, LineFmt::VideoBound, h.m_nVideoBound);
    for (const CSystemHeader::StreamEntry& e : h.m_streams)
    {
        const uint32_t bytes = e.bufferSizeBound * (e.bufferBoundScale ? 1024u : 128u);
        tree.AddValue(s, LineFmt::StreamIdEntry, e.streamId);
        tree.AddValue(s, LineFmt::PstdBoundScale, e.bufferBoundScale);
        tree.AddValue(s, LineFmt::PstdBoundSize, e.bufferSizeBound);
        tree.AddValue(s, LineFmt::PstdBound, bytes);
    }
    return s;
}

ItemId ShowPesStreamLine(CResultTree& tree, ItemId parent, const CPesHeader& h)
{
    return h.HasPts() ? tree.AddGroup(parent, LineFmt::PesStreamPts, StreamPtsArg(h.m_nStreamId, h.m_nPts))
                      : tree.AddGroup(parent, LineFmt::PesStream, h.m_nStreamId);
}

ItemId ShowPesHeader(CResultTree& tree, ItemId parent, const CPesHeader& h)
{
    const ItemId g = tree.AddGroup(parent, LineFmt::PesHeader);
    AddPesFieldLines(tree, g, h);
    return g;
}

void AddPesFieldLines(CResultTree& tree, ItemId item, const CPesHeader& h)
{
    tree.AddValue(item, LineFmt::PacketLength, static_cast<uint32_t>(h.m_nPacketLength));
    tree.AddValue(item, LineFmt::PesMarker, h.m_nMarkerBits);
    tree.AddValue(item, LineFmt::ScramblingControl, h.m_nScramblingControl);
    tree.AddValue(item, LineFmt::Prio, h.m_nPriority);
    tree.AddValue(item, LineFmt::DataAlignment, h.m_nDataAlignment);
    tree.AddValue(item, LineFmt::Copyright, h.m_nCopyright);
    tree.AddValue(item, LineFmt::OriginalCopy, h.m_nOriginalOrCopy);
    tree.AddValue(item, LineFmt::PtsDtsFlags, h.m_nPtsDtsFlags);
    tree.AddValue(item, LineFmt::Escr, h.m_nEscrFlag);
    tree.AddValue(item, LineFmt::EsRate, h.m_nEsRateFlag);
    tree.AddValue(item, LineFmt::DsmTrickMode, h.m_nDsmTrickModeFlag);
    tree.AddValue(item, LineFmt::AddCopyInfo, h.m_nAdditionalCopyInfoFlag);
    tree.AddValue(item, LineFmt::CrcFlag, h.m_nCrcFlag);

    if (h.m_nExtensionFlag)
    {
        const ItemId ext = tree.AddGroup(item, LineFmt::PesExtension, 1);
        tree.AddValue(ext, LineFmt::PesPrivateData, h.m_nPrivateDataFlag);
        tree.AddValue(ext, LineFmt::PackHeaderField, h.m_nPackHeaderFieldFlag);
        tree.AddValue(ext, LineFmt::SequenceCounter, h.m_nSequenceCounterFlag);
        if (h.m_nPstdBufferFlag)
        {
            const ItemId pstd = tree.AddGroup(ext, LineFmt::PstdBufferFlag, 1);
            const uint32_t bytes = static_cast<uint32_t>(h.m_nPstdBufferSize) * (h.m_nPstdBufferScale ? 1024u : 128u);
            tree.AddValue(pstd, LineFmt::PstdBuffer, bytes);
        }
        else
        {
            tree.AddValue(ext, LineFmt::PstdBufferFlag, 0);
        }
        tree.AddValue(ext, LineFmt::ReservedDec, h.m_nExtReserved);
        tree.AddValue(ext, LineFmt::PesExtensionField, h.m_nExtensionFlag2);
    }
    else
    {
        tree.AddValue(item, LineFmt::PesExtension, 0);
    }
    tree.AddValue(item, LineFmt::HeaderDataLength, h.m_nHeaderDataLength);
    if (h.HasPts())
        tree.AddValue(item, LineFmt::Pts, h.m_nPts);
    if (h.HasDts())
        tree.AddValue(item, LineFmt::Dts, h.m_nDts);
}

ItemId ShowSequenceHeader(CResultTree& tree, ItemId parent, const CSequenceHeader& h)
{
    const ItemId g = tree.AddGroup(parent, LineFmt::SequenceHeader);
    tree.AddValue(g, LineFmt::HorizontalSize, static_cast<uint32_t>(h.m_nHorizontalSize));
    tree.AddValue(g, LineFmt::VerticalSize, static_cast<uint32_t>(h.m_nVerticalSize));
    tree.AddValue(g, LineFmt::AspectRatio, static_cast<uint32_t>(h.m_nAspectRatioCode));
    tree.AddValue(g, LineFmt::Bitrate, static_cast<uint32_t>(h.m_nBitRate));
    tree.AddValue(g, LineFmt::VbvBufferSize, static_cast<uint32_t>(h.m_nVbvBufferSize));
    return g;
}

ItemId ShowGopHeader(CResultTree& tree, ItemId parent, const CGopHeader& h)
{
    const ItemId g = tree.AddGroup(parent, LineFmt::GroupOfPictures);
    tree.AddValue(g, LineFmt::DropFlag, h.m_nDropFlag);
    const uint32_t timecode = uint32_t{h.m_nHours} | (uint32_t{h.m_nMinutes} << 8) | (uint32_t{h.m_nSeconds} << 16)
        | (uint32_t{h.m_nPictures} << 24);
    tree.AddValue(g, LineFmt::Timecode, timecode);
    tree.AddValue(g, LineFmt::ClosedGop, h.m_nClosedGop);
    tree.AddValue(g, LineFmt::BrokenLink, h.m_nBrokenLink);
    return g;
}

ItemId ShowPictureHeader(CResultTree& tree, ItemId parent, const CPictureHeader& h)
{
    const ItemId g =
        tree.AddGroup(parent, LineFmt::Picture, PackArgs(static_cast<uint32_t>(h.m_nTemporalReference), h.m_nCodingType));
    tree.AddValue(g, LineFmt::VbvDelay, static_cast<uint32_t>(h.m_nVbvDelay));
    return g;
}

void ShowAudioHeader(CResultTree& tree, ItemId line, const CAudioHeader& h)
{
    tree.AddValue(line, LineFmt::MpegLevel, PackArgs(h.m_nVersion, h.m_nLayer));
    tree.AddValue(line, h.m_nProtectionBit ? LineFmt::ProtectionNoCrc : LineFmt::ProtectionCrc);
    tree.AddValue(line, LineFmt::BitrateIdx, PackArgs(h.m_nBitRateIndex, static_cast<uint32_t>(h.m_nBitRate)));
    tree.AddValue(line, LineFmt::SamplingFreq, PackArgs(h.m_nSamplingFrequencyIndex, h.m_nVersion));
    tree.AddValue(line, LineFmt::AudioPadding, h.m_nPaddingBit);
    tree.AddValue(line, LineFmt::FrameSize,
                  PackArgs(static_cast<uint32_t>(h.m_nFrameLength), uint32_t{h.m_raw[1]} | (uint32_t{h.m_raw[2]} << 8)));
}

// ---------------------------------------------------------------------------- the run

void CTreeDisplay::Begin(std::string_view fileName, uint32_t maxPacks)
{
    m_lines = Lines();
    const uint32_t name = m_tree.StoreString(fileName);
    m_lines.root = maxPacks != 0 ? m_tree.AddGroup(kNoItem, LineFmt::RootPackets, PackArgs(name, maxPacks))
                                 : m_tree.AddGroup(kNoItem, LineFmt::RootAll, PackArgs(name));
    m_lines.essentials = m_tree.AddGroup(m_lines.root, LineFmt::Essentials);
    m_lines.elementaryStreams = m_tree.AddGroup(m_lines.root, LineFmt::ElementaryStreams);
    m_lines.videoSequence = m_tree.AddGroup(m_lines.root, LineFmt::VideoSequence);
    m_lines.packetStructure = m_tree.AddGroup(m_lines.root, LineFmt::PacketStructure);
}

ItemId CTreeDisplay::DataLine()
{
    // Elements before the first pack put their "DATA" at the top level, beside the root.
    if (m_lines.data == kNoItem)
        m_lines.data = m_tree.AddGroup(m_lines.pack, LineFmt::Data);
    return m_lines.data;
}

CTreeDisplay::PackLines CTreeDisplay::Pack(uint32_t number, const CPackHeader& h)
{
    m_lines.data = kNoItem;
    m_lines.pack = m_tree.AddGroup(m_lines.packetStructure, LineFmt::PackNumber, number);
    const ItemId header = m_tree.AddGroup(m_lines.pack, LineFmt::Header);
    ShowPackHeader(m_tree, header, h);
    return {m_lines.pack != kNoItem, header != kNoItem};
}

void CTreeDisplay::SystemHeader(const CSystemHeader& h)
{
    const ItemId data = DataLine();
    ShowSystemHeader(m_tree, m_lines.essentials, h);
    ShowSystemHeader(m_tree, data, h);
}

void CTreeDisplay::PesPacket(const CPesHeader& h)
{
    const ItemId data = DataLine();
    const uint8_t id = h.m_nStreamId;
    // One group per kind of stream, named after the first stream of that kind; every
    // packet of an audio or video stream gets its line there.
    const bool audio = IsAudioStreamId(id);
    ItemId* kind = audio ? &m_lines.audioStream : IsVideoStreamId(id) ? &m_lines.videoStream : nullptr;
    if (kind)
    {
        if (*kind == kNoItem)
            *kind = audio ? m_tree.AddGroup(m_lines.elementaryStreams, LineFmt::AudioStream, id & 0x1Fu)
                                : m_tree.AddGroup(m_lines.elementaryStreams, LineFmt::VideoStream, id & 0x0Fu);
        m_lines.currentStream = h.HasPts() ? m_tree.AddGroup(*kind, LineFmt::PackPts, h.m_nPts)
                                           : m_tree.AddGroup(*kind, LineFmt::Pack);
    }
    ShowPesHeader(m_tree, ShowPesStreamLine(m_tree, data, h), h);
    ShowPesHeader(m_tree, m_lines.currentStream, h);
}

void CTreeDisplay::AudioFrame(int32_t at, int32_t expected, bool first, const CAudioHeader& h)
{
    const auto a = static_cast<uint32_t>(at), e = static_cast<uint32_t>(expected);
    ItemId line;
    if (first)
    {
        line = m_tree.AddGroup(m_lines.currentStream, LineFmt::AudioHeaderFirst, PackArgs(a, e));
        if (at != expected)
            m_tree.MarkError(line, LineFmt::AudioHeaderFirstErr, PackArgs(a, e));
    }
    else
    {
        line = m_tree.AddGroup(m_lines.currentStream, LineFmt::AudioHeaderNext, a);
        if (at != expected)
            m_tree.MarkError(line, LineFmt::AudioHeaderNextErr, PackArgs(a, e));
    }
    ShowAudioHeader(m_tree, line, h);
}

void CTreeDisplay::SequenceHeader(const CSequenceHeader& h)
{
    // The first sequence header of a run also goes under "Essentials".
    if (!m_lines.videoInformationShown)
    {
        m_lines.videoInformation = m_tree.AddGroup(m_lines.essentials, LineFmt::VideoInformation);
        ShowSequenceHeader(m_tree, m_lines.videoInformation, h);
        m_lines.videoInformationShown = true;
    }
    if (m_lines.currentStream != kNoItem)
        ShowSequenceHeader(m_tree, m_lines.currentStream, h);
    ShowSequenceHeader(m_tree, m_lines.videoSequence, h);
}

void CTreeDisplay::GopHeader(const CGopHeader& h)
{
    if (m_lines.currentStream != kNoItem)
        ShowGopHeader(m_tree, m_lines.currentStream, h);
    ShowGopHeader(m_tree, m_lines.videoSequence, h);
}

void CTreeDisplay::PictureHeader(const CPictureHeader& h)
{
    if (m_lines.currentStream != kNoItem)
        ShowPictureHeader(m_tree, m_lines.currentStream, h);
    ShowPictureHeader(m_tree, m_lines.videoSequence, h);
}

void CTreeDisplay::ExtensionData()
{
    if (m_lines.currentStream != kNoItem)
        m_tree.AddValue(m_lines.currentStream, LineFmt::ExtensionData);
}

void CTreeDisplay::Padding()
{
    if (m_lines.currentStream != kNoItem)
        m_tree.AddValue(m_lines.currentStream, LineFmt::Padding);
}
