#include "analysis/CAnalysisDriver.h"

#include "syntax/audio/CAudioHeader.h"
#include "syntax/system/CPesHeader.h"
#include "syntax/system/CSystemHeader.h"
#include "syntax/video/CGopHeader.h"
#include "syntax/video/CPictureHeader.h"
#include "syntax/video/CSequenceHeader.h"

#include <algorithm>
#include <new>

namespace
{
// An audio payload is what a PES packet of at most 65535 bytes leaves after its header.
constexpr uint32_t kPayloadCapacity = 0x10000;
}  // namespace

CAnalysisDriver::CAnalysisDriver(CResultTree& tree, IAnalysisHost& host)
    : m_tree(tree)
    , m_host(host)
    , m_display(tree)
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
    Start(fileName, maxPacks);
    return Finish(m_bFollowLengths && IsProgramStream(fileName) ? LoopByLength(fileName, maxPacks) : Loop(maxPacks));
}

void CAnalysisDriver::Start(const std::string& fileName, uint32_t maxPacks)
{
    m_bRunning = true;
    m_run = RunState();
    m_host.OnRunStarted();
    m_tree.DeleteAll();

    // Sizes and positions are 64-bit: files of several GiB are common.
    m_run.fileSize = m_file.Seek(0, CFile::end);
    m_run.progressStep = std::max<uint64_t>(m_run.fileSize / 100, 1);
    m_file.Seek(0, CFile::begin);
    m_host.OnProgress(0);

    m_bStopRequested = false;
    m_pRecords = std::make_unique<CPackList>();
    m_pRecords->m_strInputPath = fileName;
    m_display.Begin(fileName, maxPacks);

    // Long stretches without a start code still move the bar and keep the window alive.
    m_file.SetScanHook([this] {
        UpdateProgress(m_file.GetStreamPosition());
        m_host.Pump();
        return !m_bStopRequested;
    });
}

CAnalysisDriver::Outcome CAnalysisDriver::Loop(uint32_t maxPacks)
{
    uint8_t code = 0;
    while (!m_bStopRequested)
    {
        if (maxPacks != 0 && m_run.packCount >= maxPacks)
            return Outcome::PackLimit;
        if (!m_file.NextStartCode(code))
            break;
        ++m_run.startCodes;
        OnStartCode(code);
        UpdateProgress(m_file.GetStreamPosition());
        m_host.Pump();
        if (m_tree.IsFull())
            return Outcome::TreeFull;
    }
    return m_bStopRequested ? Outcome::Stopped : Outcome::EndOfInput;
}

CAnalysisDriver::Outcome CAnalysisDriver::Finish(Outcome outcome)
{
    m_file.SetScanHook(nullptr);
    if (m_run.bytesConsumed == 0)
        m_run.bytesConsumed = m_file.GetStreamPosition();
    const bool readError = m_file.HadReadError() || m_run.readError;
    m_pPayload.reset();
    m_file.Close();
    m_bRunning = false;
    m_host.OnRunEnded();

    if (readError)
    {
        // The end of what could be read is not the end of the file: say so.
        m_host.ShowMessage(kReadErrorText, kErrorCaption);
        return Outcome::ReadError;
    }
    if (outcome == Outcome::TreeFull)
        m_host.ShowMessage(kTreeFullText, kErrorCaption);
    return outcome;
}

void CAnalysisDriver::OnStartCode(uint8_t code)
{
    switch (code)
    {
    case StartCode::Picture: OnVideoElement<CPictureHeader>(CPackNode::PictureHeader, &CTreeDisplay::PictureHeader); break;
    case StartCode::SequenceHeader:
        OnVideoElement<CSequenceHeader>(CPackNode::SequenceHeader, &CTreeDisplay::SequenceHeader);
        break;
    case StartCode::Extension: m_display.ExtensionData(); break;
    case StartCode::GroupOfPictures: OnVideoElement<CGopHeader>(CPackNode::GopHeader, &CTreeDisplay::GopHeader); break;
    case StartCode::Pack: OnPack(); break;
    case StartCode::SystemHeader: OnSystemHeader(); break;
    // The padding bytes are not read: the scanner walks through them.
    case StartCode::PaddingStream: m_display.Padding(); break;
    default:
        // A stream id listed in the system header is one PES packet, however many
        // times a damaged header lists it.
        if (m_run.listed[code])
            OnPesPacket(code);
        break;
    }
}

void CAnalysisDriver::UpdateProgress(uint64_t position)
{
    const uint64_t percent = position / m_run.progressStep;
    if (percent > m_run.progressShown)
    {
        m_run.progressShown = percent;
        m_host.OnProgress(static_cast<uint32_t>(percent > 0xFFFFFFFFu ? 0xFFFFFFFFu : percent));
    }
}

// ---------------------------------------------------------------------------- system layer

CPackNode& CAnalysisDriver::Record()
{
    // Elements before the first pack get a record of their own.
    if (!m_run.record)
        m_run.record = &m_pRecords->Append();
    return *m_run.record;
}

void CAnalysisDriver::OnPack()
{
    CPackNode& node = NewPack(m_file.GetStreamPosition());
    node.m_packHeader.Parse(m_file);
    ShowPack(node);
}

CPackNode& CAnalysisDriver::NewPack(uint64_t position)
{
    CPackNode& node = m_pRecords->Append();
    m_run.record = &node;
    node.m_nPackNumber = ++m_run.packCount;
    node.m_nPosition = position;
    node.Set(CPackNode::PackHeader);
    return node;
}

void CAnalysisDriver::ShowPack(CPackNode& node)
{
    const CTreeDisplay::PackLines lines = m_display.Pack(node.m_nPackNumber, node.m_packHeader);
    if (lines.pack)
        node.Set(CPackNode::PackLine);
    if (lines.header)
        node.Set(CPackNode::HeaderLine);
}

void CAnalysisDriver::OnSystemHeader()
{
    CSystemHeader header;
    header.Parse(m_file);
    ShowSystemHeader(header);
}

void CAnalysisDriver::ShowSystemHeader(const CSystemHeader& header)
{
    Record().Set(CPackNode::SystemHeader);
    m_display.SystemHeader(header);
    RebuildStreamFilter(header);
}

void CAnalysisDriver::RebuildStreamFilter(const CSystemHeader& header)
{
    m_run.listed.fill(false);
    for (const CSystemHeader::StreamEntry& e : header.m_streams)
    {
        const uint32_t id = e.streamId & 0xFF;
        // In a system header 0xB8 stands for every audio stream and 0xB9 for every video
        // stream. DVD muxers list nothing else, so taking them literally would leave
        // every audio and video packet of a VOB unread.
        if (id == 0xB8)
            std::fill(m_run.listed.begin() + 0xC0, m_run.listed.begin() + 0xE0, true);
        else if (id == 0xB9)
            std::fill(m_run.listed.begin() + 0xE0, m_run.listed.begin() + 0xF0, true);
        else
            m_run.listed[id] = true;
    }
}

void CAnalysisDriver::OnPesPacket(uint8_t code)
{
    CPesHeader pes;
    pes.m_nStreamId = code;
    pes.Parse(m_file);
    ShowPesPacket(pes);
    if (IsAudioStreamId(code))
        ScanAudioPayload(code, pes);
}

void CAnalysisDriver::ShowPesPacket(const CPesHeader& pes)
{
    Record().Set(CPackNode::PesHeader);
    m_display.PesPacket(pes);
}

// ---------------------------------------------------------------------------- audio frames

void CAnalysisDriver::ScanAudioPayload(uint8_t code, const CPesHeader& pes)
{
    const int32_t L = pes.PayloadSize();
    if (L < 0)
        return;
    if (!m_pPayload)
        m_pPayload.reset(new (std::nothrow) uint8_t[kPayloadCapacity]);
    uint8_t* payload = m_pPayload.get();
    if (!payload || m_file.Read(payload, static_cast<uint32_t>(L)) != static_cast<uint32_t>(L))
        return;
    WalkAudioFrames(code, payload, L);
}

void CAnalysisDriver::WalkAudioFrames(uint8_t code, const uint8_t* payload, int32_t L)
{
    Record().Set(CPackNode::AudioHeader);

    // Each audio stream carries its own frames over into its next packet.
    int32_t& carry = m_run.carryOver[code & 0x1F];
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
    m_run.expectedAudioOffset = carry;
    CAudioHeader audio;
    for (bool first = true;; first = false)
    {
        const int32_t h = p + r;
        int32_t n = audio.Parse(payload + h, L - h);
        m_display.AudioFrame(h, m_run.expectedAudioOffset, first, audio);
        // A header without a frame length moves the walk one byte on.
        if (n <= 0)
            n = 1;
        p = h + n;
        m_run.expectedAudioOffset = p;
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

// A video element: marked in the record, parsed, shown.
template <class Element>
void CAnalysisDriver::OnVideoElement(CPackNode::Element bit, void (CTreeDisplay::*show)(const Element&))
{
    Element element;
    element.Parse(m_file);
    ShowVideoElement(bit, show, element);
}

template <class Element>
void CAnalysisDriver::ShowVideoElement(CPackNode::Element bit, void (CTreeDisplay::*show)(const Element&),
                                       const Element& element)
{
    Record().Set(bit);
    (m_display.*show)(element);
}

template void CAnalysisDriver::ShowVideoElement(CPackNode::Element, void (CTreeDisplay::*)(const CSequenceHeader&),
                                                const CSequenceHeader&);
template void CAnalysisDriver::ShowVideoElement(CPackNode::Element, void (CTreeDisplay::*)(const CGopHeader&),
                                                const CGopHeader&);
template void CAnalysisDriver::ShowVideoElement(CPackNode::Element, void (CTreeDisplay::*)(const CPictureHeader&),
                                                const CPictureHeader&);
