#include "analysis/TreeDisplay.h"

#include "syntax/Mpeg.h"
#include "syntax/audio/CAudioHeader.h"
#include "syntax/dvd/AudioSubstreams.h"
#include "syntax/dvd/NavPackets.h"
#include "syntax/system/Mpeg1Headers.h"
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

void ShowMpeg1PackHeader(CResultTree& tree, ItemId headerLine, const CMpeg1PackHeader& h)
{
    tree.AddValue(headerLine, LineFmt::Scr, h.m_nScr);
    tree.AddValue(headerLine, LineFmt::MuxrateBps, h.m_nProgramMuxRate * 400);
    const ItemId d = tree.AddGroup(headerLine, LineFmt::Details);
    const uint32_t scr32_30 = static_cast<uint32_t>(h.m_nScr >> 30) & 7;
    const uint32_t scr29_15 = static_cast<uint32_t>(h.m_nScr >> 15) & 0x7FFF;
    const uint32_t scr14_0 = static_cast<uint32_t>(h.m_nScr) & 0x7FFF;
    // The markers in the order of the layout: after each part of the SCR, before and
    // after the mux rate.
    auto marker = [&](unsigned bit) { tree.AddValue(d, LineFmt::Marker1, (h.m_nMarkers >> bit) & 1); };
    tree.AddValue(d, LineFmt::Marker0010, h.m_nPrefix);
    tree.AddValue(d, LineFmt::ScrBits32to30, scr32_30);
    marker(0);
    tree.AddValue(d, LineFmt::ScrBits29to15, scr29_15);
    marker(1);
    tree.AddValue(d, LineFmt::ScrBits14to0, scr14_0);
    marker(2);
    marker(3);
    tree.AddValue(d, LineFmt::MuxrateRaw, h.m_nProgramMuxRate);
    marker(4);
}

ItemId ShowMpeg1PesHeader(CResultTree& tree, ItemId parent, const CMpeg1PesHeader& h)
{
    const ItemId g = tree.AddGroup(parent, LineFmt::PesHeader);
    tree.AddValue(g, LineFmt::PacketLength, h.m_nPacketLength);
    tree.AddValue(g, LineFmt::StuffingBytes, h.m_nStuffingBytes);
    if (h.m_bStdBuffer)
        tree.AddValue(g, LineFmt::StdBuffer, h.m_nStdBufferSize * (h.m_nStdBufferScale ? 1024u : 128u));
    if (h.m_bPts)
        tree.AddValue(g, LineFmt::Pts, h.m_nPts);
    if (h.m_bDts)
        tree.AddValue(g, LineFmt::Dts, h.m_nDts);
    return g;
}

ItemId ShowSubstreamHeader(CResultTree& tree, ItemId parent, const CSubstreamHeader& h, const CLpcmHeader* lpcm)
{
    const ItemId g = tree.AddGroup(parent, LineFmt::SubstreamHeader);
    tree.AddValue(g, LineFmt::SubstreamId, h.m_nSubstreamId);
    if (h.m_bAudio)
    {
        tree.AddValue(g, LineFmt::FrameCount, h.m_nFrameCount);
        tree.AddValue(g, LineFmt::FirstAccessUnit, h.m_nFirstAccessUnit);
    }
    if (lpcm)
    {
        tree.AddValue(g, LineFmt::LpcmEmphasis, lpcm->m_nEmphasis);
        tree.AddValue(g, LineFmt::LpcmMute, lpcm->m_nMute);
        tree.AddValue(g, LineFmt::LpcmFrameNumber, lpcm->m_nFrameNumber);
        tree.AddValue(g, LineFmt::LpcmQuantization, PackArgs(lpcm->m_nQuantization, lpcm->m_nBitsPerSample));
        tree.AddValue(g, LineFmt::SampleRateCode, PackArgs(lpcm->m_nSamplingFrequency, lpcm->m_nSampleRate));
        tree.AddValue(g, LineFmt::Channels, lpcm->m_nChannels);
        tree.AddValue(g, LineFmt::DynamicRange, lpcm->m_nDynamicRange);
    }
    return g;
}

ItemId ShowNavPci(CResultTree& tree, ItemId parent, uint32_t packetLength, const CNavPci& h)
{
    const ItemId g = tree.AddGroup(parent, LineFmt::Pci);
    tree.AddValue(g, LineFmt::PacketLength, packetLength);
    tree.AddValue(g, LineFmt::NvPckLbn, h.m_nNvPckLbn);
    tree.AddValue(g, LineFmt::VobuSPtm, h.m_nVobuSPtm);
    tree.AddValue(g, LineFmt::VobuEPtm, h.m_nVobuEPtm);
    tree.AddValue(g, LineFmt::VobuSeEPtm, h.m_nVobuSeEPtm);
    return g;
}

ItemId ShowNavDsi(CResultTree& tree, ItemId parent, uint32_t packetLength, const CNavDsi& h)
{
    const ItemId g = tree.AddGroup(parent, LineFmt::Dsi);
    tree.AddValue(g, LineFmt::PacketLength, packetLength);
    tree.AddValue(g, LineFmt::NvPckScr, h.m_nNvPckScr);
    tree.AddValue(g, LineFmt::NvPckLbn, h.m_nNvPckLbn);
    tree.AddValue(g, LineFmt::VobuEa, h.m_nVobuEa);
    tree.AddValue(g, LineFmt::VobuVobIdn, h.m_nVobuVobIdn);
    tree.AddValue(g, LineFmt::VobuCIdn, h.m_nVobuCIdn);
    tree.AddValue(g, LineFmt::CEltm, h.m_nCEltm);
    tree.AddValue(g, LineFmt::NextVobu, h.m_nNextVobu);
    tree.AddValue(g, LineFmt::PrevVobu, h.m_nPrevVobu);
    return g;
}

void ShowAc3Header(CResultTree& tree, ItemId line, const CAc3Header& h)
{
    tree.AddValue(line, LineFmt::Ac3Info, PackArgs(h.m_nBsid, h.m_nBsmod));
    tree.AddValue(line, LineFmt::SampleRateCode, PackArgs(h.m_nFscod, h.m_nSampleRate));
    tree.AddValue(line, LineFmt::BitrateCode, PackArgs(h.m_nFrmsizecod, h.m_nBitRate));
    tree.AddValue(line, LineFmt::Ac3ChannelMode, PackArgs(h.m_nAcmod, h.m_nChannels));
    tree.AddValue(line, LineFmt::Lfe, h.m_nLfeon);
    tree.AddValue(line, LineFmt::CodedFrameSize, CodedFrameArg(h.m_nFrameSize, CAc3Header::kSamplesPerFrame, h.m_nSampleRate));
}

void ShowDtsHeader(CResultTree& tree, ItemId line, const CDtsHeader& h)
{
    tree.AddValue(line, LineFmt::DtsInfo, PackArgs(h.m_nFtype, h.m_nSamplesPerFrame));
    tree.AddValue(line, LineFmt::SampleRateCode, PackArgs(h.m_nSfreq, h.m_nSampleRate));
    tree.AddValue(line, LineFmt::BitrateCode, PackArgs(h.m_nRate, h.m_nBitRate));
    tree.AddValue(line, LineFmt::DtsChannelMode, PackArgs(h.m_nAmode, h.m_nChannels));
    tree.AddValue(line, LineFmt::Lfe, h.m_nLff ? 1 : 0);
    tree.AddValue(line, LineFmt::CodedFrameSize, CodedFrameArg(h.m_nFrameSize, h.m_nSamplesPerFrame, h.m_nSampleRate));
}

// ---------------------------------------------------------------------------- the run

void CTreeDisplay::Begin(std::string_view fileName, uint32_t maxPacks, bool byLength)
{
    m_lines = Lines();
    m_lines.byLength = byLength;
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
    // Elements before the first pack put their "DATA" at the top level, beside the root
    // (in the walk by lengths under "Packet structure").
    if (m_lines.data == kNoItem)
        m_lines.data = m_tree.AddGroup(
            m_lines.pack == kNoItem && m_lines.byLength ? m_lines.packetStructure : m_lines.pack, LineFmt::Data);
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
    const bool audio = mpeg::IsAudioStream(id);
    ItemId* kind = audio ? &m_lines.audioStream : mpeg::IsVideoStream(id) ? &m_lines.videoStream : nullptr;
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
    ShowAudioHeader(m_tree, FrameLine(m_lines.currentStream, at, expected, first, at != expected), h);
}

void CTreeDisplay::SequenceHeader(const CSequenceHeader& h, ItemId packetLine)
{
    // The first sequence header of a run also goes under "Essentials".
    if (!m_lines.videoInformationShown)
    {
        m_lines.videoInformation = m_tree.AddGroup(m_lines.essentials, LineFmt::VideoInformation);
        ShowSequenceHeader(m_tree, m_lines.videoInformation, h);
        m_lines.videoInformationShown = true;
    }
    if (packetLine != kNoItem)
        ShowSequenceHeader(m_tree, packetLine, h);
    ShowSequenceHeader(m_tree, m_lines.videoSequence, h);
}

void CTreeDisplay::GopHeader(const CGopHeader& h, ItemId packetLine)
{
    if (packetLine != kNoItem)
        ShowGopHeader(m_tree, packetLine, h);
    ShowGopHeader(m_tree, m_lines.videoSequence, h);
}

void CTreeDisplay::PictureHeader(const CPictureHeader& h, ItemId packetLine)
{
    if (packetLine != kNoItem)
        ShowPictureHeader(m_tree, packetLine, h);
    ShowPictureHeader(m_tree, m_lines.videoSequence, h);
}

void CTreeDisplay::ExtensionData(ItemId packetLine)
{
    if (packetLine != kNoItem)
        m_tree.AddValue(packetLine, LineFmt::ExtensionData);
}

void CTreeDisplay::Padding()
{
    if (m_lines.currentStream != kNoItem)
        m_tree.AddValue(m_lines.currentStream, LineFmt::Padding);
}

// ---------------------------------------------------------------------------- the walk by lengths

CTreeDisplay::PackLines CTreeDisplay::Pack(uint32_t number, const CMpeg1PackHeader& h)
{
    m_lines.data = kNoItem;
    m_lines.pack = m_tree.AddGroup(m_lines.packetStructure, LineFmt::PackNumber, number);
    const ItemId header = m_tree.AddGroup(m_lines.pack, LineFmt::Header);
    ShowMpeg1PackHeader(m_tree, header, h);
    return {m_lines.pack != kNoItem, header != kNoItem};
}

ItemId CTreeDisplay::PacketStreamItem(const Packet& p)
{
    // One item per kind of MPEG stream, named after the first of its kind, as the byte
    // walk has them; one per substream of private stream 1.
    const uint8_t id = p.streamId;
    if (mpeg::IsAudioStream(id))
    {
        if (m_lines.audioStream == kNoItem)
            m_lines.audioStream = m_tree.AddGroup(m_lines.elementaryStreams, LineFmt::AudioStream, id & 0x1Fu);
        return m_lines.audioStream;
    }
    if (mpeg::IsVideoStream(id))
    {
        if (m_lines.videoStream == kNoItem)
            m_lines.videoStream = m_tree.AddGroup(m_lines.elementaryStreams, LineFmt::VideoStream, id & 0x0Fu);
        return m_lines.videoStream;
    }
    if (!p.substream)
        return kNoItem;
    ItemId& item = m_lines.substreams[p.substream->m_nSubstreamId];
    if (item == kNoItem)
        item = m_tree.AddGroup(m_lines.elementaryStreams, LineFmt::SubstreamItem, p.substream->m_nSubstreamId);
    return item;
}

ItemId CTreeDisplay::PacketLines(const Packet& p)
{
    const ItemId data = DataLine();
    if (p.pci || p.dsi)
    {
        if (p.pci)
            ShowNavPci(m_tree, data, p.packetLength, *p.pci);
        if (p.dsi)
            ShowNavDsi(m_tree, data, p.packetLength, *p.dsi);
        return kNoItem;
    }
    const bool hasPts = p.mpeg2 ? p.mpeg2->HasPts() : p.mpeg1 && p.mpeg1->m_bPts;
    const uint64_t pts = p.mpeg2 ? p.mpeg2->m_nPts : p.mpeg1 ? p.mpeg1->m_nPts : 0;
    const ItemId item = PacketStreamItem(p);
    if (item != kNoItem)
        m_lines.currentStream = hasPts ? m_tree.AddGroup(item, LineFmt::PackPts, pts) : m_tree.AddGroup(item, LineFmt::Pack);

    ItemId line;
    if (p.substream)
    {
        const uint32_t sub = p.substream->m_nSubstreamId;
        line = hasPts ? m_tree.AddGroup(data, LineFmt::PesSubstreamPts, SubstreamPtsArg(sub, pts))
                      : m_tree.AddGroup(data, LineFmt::PesSubstream, sub);
    }
    else
    {
        line = hasPts ? m_tree.AddGroup(data, LineFmt::PesStreamPts, StreamPtsArg(p.streamId, pts))
                      : m_tree.AddGroup(data, LineFmt::PesStream, p.streamId);
    }
    // The headers in the pack and again under the stream's packet line.
    for (const ItemId parent : {line, item != kNoItem ? m_lines.currentStream : kNoItem})
    {
        if (parent == kNoItem)
            continue;
        if (p.mpeg2)
            ShowPesHeader(m_tree, parent, *p.mpeg2);
        else if (p.mpeg1)
            ShowMpeg1PesHeader(m_tree, parent, *p.mpeg1);
        else
            m_tree.AddValue(parent, LineFmt::PacketLength, p.packetLength);
        if (p.substream)
            ShowSubstreamHeader(m_tree, parent, *p.substream, p.lpcm);
    }
    return item != kNoItem ? m_lines.currentStream : kNoItem;
}

ItemId CTreeDisplay::FrameLine(ItemId line, int32_t at, int32_t expected, bool first, bool mark)
{
    const auto a = static_cast<uint32_t>(at), e = static_cast<uint32_t>(expected);
    const ItemId frame = first ? m_tree.AddGroup(line, LineFmt::AudioHeaderFirst, PackArgs(a, e))
                               : m_tree.AddGroup(line, LineFmt::AudioHeaderNext, a);
    if (mark)
        m_tree.MarkError(frame, first ? LineFmt::AudioHeaderFirstErr : LineFmt::AudioHeaderNextErr, PackArgs(a, e));
    return frame;
}

ItemId CTreeDisplay::AudioFileStream()
{
    if (m_lines.audioStream == kNoItem)
        m_lines.audioStream = m_tree.AddGroup(m_lines.elementaryStreams, LineFmt::AudioStream, 0);
    return m_lines.audioStream;
}
