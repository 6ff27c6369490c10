#include "analysis/CAnalysisDriver.h"

#include <algorithm>
#include <new>

CAnalysisDriver::CAnalysisDriver(CResultTree& tree, IAnalysisHost& host)
    : m_tree(tree)
    , m_host(host)
{
}

CAnalysisDriver::~CAnalysisDriver() = default;

// ---------------------------------------------------------------------------- the run

CAnalysisDriver::Outcome CAnalysisDriver::Analyze(const std::string& fileName, uint32_t maxPacks)
{
    if (fileName.empty() || m_bRunning)
        return Outcome::NotStarted;
    if (!m_file.Open(fileName, CFile::modeRead))
    {
        m_host.ShowMessage(kOpenErrorText, kErrorCaption);
        return Outcome::OpenFailed;
    }
    m_bRunning = true;

    m_hRoot = m_hEssentials = m_hElementaryStreams = m_hVideoSequence = kNoItem;
    m_hPacketStructure = m_hVideoInformation = m_hData = kNoItem;
    m_hVideoStream = m_hAudioStream = m_hCurrentStream = kNoItem;
    m_nExpectedAudioOffset = 0;

    m_host.OnRunStarted();
    m_tree.DeleteAll();

    // Sizes and positions are 64-bit: files of several GiB are common.
    m_nFileSize = m_file.Seek(0, CFile::end);
    m_nProgressStep = m_nFileSize / 100;
    if (m_nProgressStep == 0)
        m_nProgressStep = 1;
    m_file.Seek(0, CFile::begin);

    m_nProgressShown = 0;
    m_host.OnProgress(0);

    m_bStopRequested = false;
    m_pCurrentPack = nullptr;
    m_pSystemHeaderCopy.reset();
    m_listed.fill(false);

    m_pRecords = std::make_unique<CPackList>();
    m_pRecords->m_strInputPath = fileName;

    const uint32_t name = m_tree.StoreString(fileName);
    m_hRoot = maxPacks != 0 ? m_tree.AddGroup(kNoItem, LineFmt::RootPackets, PackArgs(name, maxPacks))
                            : m_tree.AddGroup(kNoItem, LineFmt::RootAll, PackArgs(name));
    m_hEssentials = m_tree.AddGroup(m_hRoot, LineFmt::Essentials);
    m_hElementaryStreams = m_tree.AddGroup(m_hRoot, LineFmt::ElementaryStreams);
    m_hVideoSequence = m_tree.AddGroup(m_hRoot, LineFmt::VideoSequence);
    m_hPacketStructure = m_tree.AddGroup(m_hRoot, LineFmt::PacketStructure);

    m_hAudioStream = m_hVideoStream = kNoItem;
    m_nPackCount = 0;
    m_carryOver.fill(0);
    m_bVideoInfoShown = false;
    m_nStartCodes = 0;

    // Long stretches without a start code still move the bar and keep the window alive.
    m_file.SetScanHook([this] {
        UpdateProgress();
        m_host.Pump();
        return !m_bStopRequested;
    });

    Outcome outcome = Outcome::EndOfInput;
    while (!m_bStopRequested)
    {
        if (maxPacks != 0 && m_nPackCount >= maxPacks)
        {
            outcome = Outcome::PackLimit;
            break;
        }
        if (!m_file.NextStartCode(m_nStartCode))
            break;
        ++m_nStartCodes;

        switch (m_nStartCode)
        {
        case StartCode::Picture: OnPictureHeader(); break;
        case StartCode::SequenceHeader: OnSequenceHeader(); break;
        case StartCode::Extension:
            if (m_hCurrentStream != kNoItem)
                m_tree.AddValue(m_hCurrentStream, LineFmt::ExtensionData);
            break;
        case StartCode::GroupOfPictures: OnGopHeader(); break;
        case StartCode::Pack: OnPack(); break;
        case StartCode::SystemHeader: OnSystemHeader(); break;
        case StartCode::PaddingStream:
            // The padding bytes are not read: the scanner walks through them.
            if (m_hCurrentStream != kNoItem)
                m_tree.AddValue(m_hCurrentStream, LineFmt::Padding);
            break;
        default:
            // A stream id listed in the system header is one PES packet, however many
            // times a damaged header lists it.
            if (m_listed[m_nStartCode])
                OnPesPacket(m_nStartCode);
            break;
        }

        UpdateProgress();
        m_host.Pump();
        if (m_tree.IsFull())
        {
            outcome = Outcome::TreeFull;
            break;
        }
    }
    if (m_bStopRequested && outcome != Outcome::TreeFull)
        outcome = Outcome::Stopped;

    m_file.SetScanHook(nullptr);
    m_nBytesConsumed = m_file.GetStreamPosition();
    const bool readError = m_file.HadReadError();
    m_pPayload.reset();
    m_nPayloadCapacity = 0;
    m_pSystemHeaderCopy.reset();
    m_file.Close();
    m_bRunning = false;
    m_host.OnRunEnded();

    if (readError)
    {
        // The end of what could be read is not the end of the file: say so.
        m_host.ShowMessage(kReadErrorText, kErrorCaption);
        outcome = Outcome::ReadError;
    }
    else if (outcome == Outcome::TreeFull)
    {
        m_host.ShowMessage(kTreeFullText, kErrorCaption);
    }
    return outcome;
}

void CAnalysisDriver::UpdateProgress()
{
    const uint64_t percent = m_file.GetStreamPosition() / m_nProgressStep;
    if (percent > m_nProgressShown)
    {
        m_nProgressShown = percent;
        m_host.OnProgress(static_cast<uint32_t>(percent > 0xFFFFFFFFu ? 0xFFFFFFFFu : percent));
    }
}

// ---------------------------------------------------------------------------- records

CPackNode& CAnalysisDriver::EnsureRecord()
{
    if (!m_pCurrentPack)
        m_pCurrentPack = m_pRecords->Append();
    return *m_pCurrentPack;
}

ItemId CAnalysisDriver::EnsureDataItem()
{
    // A record without a pack line (elements before the first pack) puts its "DATA"
    // at the top level, beside the root.
    if (m_hData == kNoItem)
        m_hData = m_tree.AddGroup(m_pCurrentPack ? m_pCurrentPack->m_hPackItem : kNoItem, LineFmt::Data);
    return m_hData;
}

// ---------------------------------------------------------------------------- system layer

void CAnalysisDriver::OnPack()
{
    ++m_nPackCount;
    CPackNode* node = m_pRecords->Append();
    m_pCurrentPack = node;
    m_hData = kNoItem;
    node->m_pPackHeader = std::make_unique<CPackHeader>();
    CPackHeader& pack = *node->m_pPackHeader;
    node->m_nPosition = m_file.GetStreamPosition();
    node->m_nPackNumber = m_nPackCount;
    pack.Parse(m_file);

    node->m_hPackItem = m_tree.AddGroup(m_hPacketStructure, LineFmt::PackNumber, m_nPackCount);
    node->m_hHeaderItem = m_tree.AddGroup(node->m_hPackItem, LineFmt::Header);
    pack.m_hHeaderItem = node->m_hHeaderItem;
    pack.Display(m_tree);
}

void CAnalysisDriver::OnSystemHeader()
{
    CPackNode& node = EnsureRecord();
    node.m_pSystemHeader = std::make_unique<CSystemHeader>();
    CSystemHeader& header = *node.m_pSystemHeader;
    header.Parse(m_file);
    const ItemId data = EnsureDataItem();
    header.Display(m_tree, m_hEssentials);
    header.Display(m_tree, data);

    m_pSystemHeaderCopy.reset(new (std::nothrow) CSystemHeader(header));
    RebuildStreamFilter();
}

void CAnalysisDriver::RebuildStreamFilter()
{
    m_listed.fill(false);
    if (!m_pSystemHeaderCopy)
        return;
    for (const CSystemHeader::StreamEntry& e : m_pSystemHeaderCopy->m_streams)
    {
        const uint32_t id = e.streamId & 0xFF;
        // In a system header 0xB8 stands for every audio stream and 0xB9 for every video
        // stream. DVD muxers list nothing else, so taking them literally would leave
        // every audio and video packet of a VOB unread.
        if (id == 0xB8)
            std::fill(m_listed.begin() + 0xC0, m_listed.begin() + 0xE0, true);
        else if (id == 0xB9)
            std::fill(m_listed.begin() + 0xE0, m_listed.begin() + 0xF0, true);
        else
            m_listed[id] = true;
    }
}

void CAnalysisDriver::OnPesPacket(uint8_t code)
{
    CPackNode& node = EnsureRecord();
    const ItemId data = EnsureDataItem();
    node.m_pPesHeader = std::make_unique<CPesHeader>();
    CPesHeader& pes = *node.m_pPesHeader;
    pes.m_nStreamId = code;
    pes.Parse(m_file);

    const uint64_t ptsArg = static_cast<uint32_t>(pes.m_nPts);
    if (IsAudioStreamId(code))
    {
        if (m_hAudioStream == kNoItem)
            m_hAudioStream = m_tree.AddGroup(m_hElementaryStreams, LineFmt::AudioStream, code & 0x1Fu);
        m_hCurrentStream = pes.HasPts() ? m_tree.AddGroup(m_hAudioStream, LineFmt::PackPts, ptsArg)
                                        : m_tree.AddGroup(m_hAudioStream, LineFmt::Pack);
    }
    else if (IsVideoStreamId(code))
    {
        if (m_hVideoStream == kNoItem)
            m_hVideoStream = m_tree.AddGroup(m_hElementaryStreams, LineFmt::VideoStream, code & 0x0Fu);
        m_hCurrentStream = pes.HasPts() ? m_tree.AddGroup(m_hVideoStream, LineFmt::PackPts, ptsArg)
                                        : m_tree.AddGroup(m_hVideoStream, LineFmt::Pack);
    }

    pes.Display(m_tree, data);
    pes.DisplayHeader(m_tree, m_hCurrentStream);

    if (IsAudioStreamId(code))
        ScanAudioPayload(code, pes);
}

// ---------------------------------------------------------------------------- audio frames

void CAnalysisDriver::ScanAudioPayload(uint8_t code, const CPesHeader& pes)
{
    const int32_t L = pes.PayloadSize();
    if (L < 0)
        return;
    const auto length = static_cast<uint32_t>(L);
    if (length > m_nPayloadCapacity)
    {
        m_pPayload.reset(new (std::nothrow) uint8_t[length]);
        m_nPayloadCapacity = m_pPayload ? length : 0;
        if (!m_pPayload)
            return;
    }
    uint8_t* payload = m_pPayload.get();
    if (m_file.Read(payload, length) != length)
        return;

    CPackNode& node = EnsureRecord();
    node.m_pAudioHeader = std::make_unique<CAudioHeader>();
    CAudioHeader& audio = *node.m_pAudioHeader;

    // Each audio stream carries its own frames over into its next packet.
    int32_t& carry = m_carryOver[code & 0x1F];
    if (carry >= L)
    {
        // The frame that began in an earlier packet covers this whole payload.
        carry -= L;
        return;
    }
    int32_t p = carry;
    int32_t r = CMpegStreamFile::FindAudioSync(payload + p, L - p);
    if (r < 0)
    {
        carry = 0;
        return;
    }
    for (bool first = true;; first = false)
    {
        const int32_t h = p + r;
        ItemId line;
        if (first)
        {
            m_nExpectedAudioOffset = carry;
            line = m_tree.AddGroup(m_hCurrentStream, LineFmt::AudioHeaderFirst,
                                   PackArgs(static_cast<uint32_t>(h), static_cast<uint32_t>(carry)));
            if (h != m_nExpectedAudioOffset)
                m_tree.MarkError(line, LineFmt::AudioHeaderFirstErr,
                                 PackArgs(static_cast<uint32_t>(h), static_cast<uint32_t>(carry)));
        }
        else
        {
            line = m_tree.AddGroup(m_hCurrentStream, LineFmt::AudioHeaderNext, static_cast<uint32_t>(h));
            if (h != m_nExpectedAudioOffset)
                m_tree.MarkError(line, LineFmt::AudioHeaderNextErr,
                                 PackArgs(static_cast<uint32_t>(h), static_cast<uint32_t>(m_nExpectedAudioOffset)));
        }

        int32_t n = audio.Parse(payload + h, L - h);
        audio.Display(m_tree, line);
        // A header without a frame length moves the walk one byte on.
        if (n <= 0)
            n = 1;
        p = h + n;
        m_nExpectedAudioOffset = p;
        if (p >= L)
        {
            carry = p - L;
            return;
        }
        r = CMpegStreamFile::FindAudioSync(payload + p, L - p);
        if (r < 0)
            return;
    }
}

// ---------------------------------------------------------------------------- video

// A video element: put in the record, parsed, shown under the current stream item when
// there is one and always under "Video sequence".
template <class Element>
void CAnalysisDriver::VideoElement(std::unique_ptr<Element> CPackNode::*slot, bool isSequenceHeader)
{
    CPackNode& node = EnsureRecord();
    node.*slot = std::make_unique<Element>();
    Element& element = *(node.*slot);
    element.Parse(m_file);
    if (isSequenceHeader)
        ShowVideoInformation(node);
    if (m_hCurrentStream != kNoItem)
        element.Display(m_tree, m_hCurrentStream);
    element.Display(m_tree, m_hVideoSequence);
}

void CAnalysisDriver::ShowVideoInformation(const CPackNode& node)
{
    // The first sequence header of a run also goes under "Essentials".
    if (m_bVideoInfoShown)
        return;
    if (m_hVideoInformation == kNoItem)
        m_hVideoInformation = m_tree.AddGroup(m_hEssentials, LineFmt::VideoInformation);
    node.m_pSequenceHeader->Display(m_tree, m_hVideoInformation);
    m_bVideoInfoShown = true;
}

void CAnalysisDriver::OnSequenceHeader()
{
    VideoElement(&CPackNode::m_pSequenceHeader, true);
}

void CAnalysisDriver::OnGopHeader()
{
    VideoElement(&CPackNode::m_pGopHeader, false);
}

void CAnalysisDriver::OnPictureHeader()
{
    VideoElement(&CPackNode::m_pPictureHeader, false);
}
