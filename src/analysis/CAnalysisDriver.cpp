#include "analysis/CAnalysisDriver.h"

#include "analysis/LengthWalk.h"
#include "model/Pipeline.h"
#include "stream/CInput.h"

#include "syntax/Mpeg.h"
#include "syntax/audio/CAudioHeader.h"
#include "syntax/system/CPesHeader.h"
#include "syntax/system/CSystemHeader.h"
#include "syntax/video/CGopHeader.h"
#include "syntax/video/CPictureHeader.h"
#include "syntax/video/CSequenceHeader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
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
    m_nOpenError = 0;
    if (m_bFollowLengths)
        return AnalyzeByLength(fileName, maxPacks);
    if (!m_file.Open(fileName, CFile::modeRead, &m_nOpenError))
    {
        m_host.ShowMessage(kOpenErrorText, kErrorCaption);
        return Outcome::OpenFailed;
    }
    // Sizes and positions are 64-bit: files of several GiB are common.
    const uint64_t size = m_file.Seek(0, CFile::end);
    m_file.Seek(0, CFile::begin);
    Start(fileName, maxPacks, size);
    // Long stretches without a start code still move the bar and keep the window alive.
    m_file.SetScanHook([this] {
        UpdateProgress(m_file.GetStreamPosition());
        m_host.Pump();
        return !m_bStopRequested;
    });
    return Finish(Loop(maxPacks));
}

void CAnalysisDriver::Start(const std::string& fileName, uint32_t maxPacks, uint64_t size)
{
    m_bRunning = true;
    m_run = RunState();
    m_host.OnRunStarted();
    m_tree.DeleteAll();

    m_run.fileSize = size;
    m_run.progressStep = std::max<uint64_t>(m_run.fileSize / 100, 1);
    m_host.OnProgress(0);

    m_bStopRequested = false;
    m_pRecords = std::make_unique<CPackList>();
    m_pRecords->m_strInputPath = fileName;
    m_display.Begin(fileName, maxPacks, m_bFollowLengths);
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

// ---------------------------------------------------------------------------- the walk by lengths

namespace
{
// The run's side of the walk: progress, the event pump, "stop" and a full tree.
template <class TickFunction>
class WalkProgress : public CLengthWalk::IProgress
{
public:
    explicit WalkProgress(TickFunction tick) : m_tick(tick) {}
    bool Tick(uint64_t position) override { return m_tick(position); }

private:
    TickFunction m_tick;
};

// The input of the walk by lengths, read in pieces with a tick after each: long stretches
// without an element still move the bar and keep the window alive, and "stop" ends them.
class CPacedInput : public CInput
{
public:
    CPacedInput(CInput& input, CLengthWalk::IProgress& progress) : m_input(input), m_progress(progress) {}

    uint32_t Read(void* buffer, uint32_t count) override
    {
        auto* out = static_cast<uint8_t*>(buffer);
        uint32_t done = 0;
        while (done < count && !m_stopped)
        {
            const uint32_t want = std::min(count - done, kPiece);
            const uint32_t got = m_input.Read(out + done, want);
            done += got;
            m_position += got;
            // What stops the run reads as the end of the input.
            m_stopped = !m_progress.Tick(m_position);
            if (got < want)
                break;
        }
        return done;
    }
    bool HadReadError() const override { return m_input.HadReadError(); }
    uint64_t Size() const override { return m_input.Size(); }
    Location Locate(uint64_t position) const override { return m_input.Locate(position); }
    uint32_t FileCount() const override { return m_input.FileCount(); }
    const std::string& FileName(uint32_t file) const override { return m_input.FileName(file); }

private:
    static constexpr uint32_t kPiece = 256 * 1024;
    CInput& m_input;
    CLengthWalk::IProgress& m_progress;
    uint64_t m_position = 0;
    bool m_stopped = false;
};
}  // namespace

CAnalysisDriver::Outcome CAnalysisDriver::AnalyzeByLength(const std::string& fileName, uint32_t maxPacks)
{
    // One open of the file, for everything the walk reads.
    const std::unique_ptr<CInput> input = OpenInput(fileName, &m_nOpenError);
    if (!input)
    {
        m_host.ShowMessage(kOpenErrorText, kErrorCaption);
        return Outcome::OpenFailed;
    }
    Start(fileName, maxPacks, input->Size());
    return Finish(LoopByLength(*input, maxPacks));
}

CAnalysisDriver::Outcome CAnalysisDriver::LoopByLength(CInput& input, uint32_t maxPacks)
{
    WalkProgress progress([this](uint64_t position) {
        UpdateProgress(position);
        m_host.Pump();
        return !m_tree.IsFull() && !m_bStopRequested;
    });
    CPacedInput paced(input, progress);
    CLengthWalk walk(m_tree, m_display, *m_pRecords, input, progress, maxPacks);
    // The tree takes the model's run like every other consumer, with the elements of
    // the demultiplexer's walk besides; it needs no access units.
    model::CPipeline pipeline;
    pipeline.Add(walk);
    pipeline.Demuxer().SetElementHook(&walk);
    pipeline.Demuxer().SetUnitAssembly(false);
    pipeline.Run(paced);
    walk.Finish();
    m_run.record = nullptr;
    m_run.packCount = walk.PackCount();
    m_run.startCodes = walk.StartCodeCount();
    m_run.readError = walk.End().readError;
    // What was read, in the file's own offsets.
    m_run.bytesConsumed = input.FileOffset(walk.End().fileSize);
    if (m_tree.IsFull())
        return Outcome::TreeFull;
    if (walk.LimitReached())
        return Outcome::PackLimit;
    return m_bStopRequested ? Outcome::Stopped : Outcome::EndOfInput;
}

CAnalysisDriver::Outcome CAnalysisDriver::Finish(Outcome outcome)
{
    bool readError = m_run.readError;
    if (m_file.IsOpen())
    {
        // The byte walk's file.
        m_file.SetScanHook(nullptr);
        m_run.bytesConsumed = m_file.GetStreamPosition();
        readError = readError || m_file.HadReadError();
        m_file.Close();
    }
    m_pPayload.reset();
    // The end of what could be read is not the end of the file.
    if (readError)
        outcome = Outcome::ReadError;
    MarkEarlyEnd(outcome);
    m_bRunning = false;
    m_host.OnRunEnded();

    if (outcome == Outcome::ReadError)
    {
        m_host.ShowMessage(kReadErrorText, kErrorCaption);
    }
    if (outcome == Outcome::TreeFull)
        m_host.ShowMessage(kTreeFullText, kErrorCaption);
    return outcome;
}

void CAnalysisDriver::OnStartCode(uint8_t code)
{
    switch (code)
    {
    case mpeg::kPictureStart: OnVideoElement<CPictureHeader>(CPackNode::PictureHeader, &CTreeDisplay::PictureHeader); break;
    case mpeg::kSequenceHeader:
        OnVideoElement<CSequenceHeader>(CPackNode::SequenceHeader, &CTreeDisplay::SequenceHeader);
        break;
    case mpeg::kExtensionStart: m_display.ExtensionData(); break;
    case mpeg::kGroupStart: OnVideoElement<CGopHeader>(CPackNode::GopHeader, &CTreeDisplay::GopHeader); break;
    case mpeg::kPackStart: OnPack(); break;
    case mpeg::kSystemHeaderStart: OnSystemHeader(); break;
    // The padding bytes are not read: the scanner walks through them.
    case mpeg::kPaddingStream: m_display.Padding(); break;
    default:
        // A stream id listed in the system header is one PES packet, however many
        // times a damaged header lists it.
        if (m_run.listed[code])
            OnPesPacket(code);
        break;
    }
}

std::string CAnalysisDriver::OpenErrorReason(int error)
{
    switch (error)
    {
    case ENOENT:
    case ENOTDIR: return "no such file";
    case EISDIR: return "a directory";
    case EACCES:
    case EPERM: return "permission denied";
    case EINVAL: return "not a regular file";  // what CFile reports for FIFOs and devices
    default: return std::strerror(error);
    }
}

std::string CAnalysisDriver::EarlyEndNote(Outcome outcome, uint32_t packNumber)
{
    const char* what = nullptr;
    switch (outcome)
    {
    case Outcome::Stopped: what = " - stopped at PACK #"; break;
    case Outcome::ReadError: what = " - read error at PACK #"; break;
    case Outcome::TreeFull: what = " - out of memory at PACK #"; break;
    default: return std::string();
    }
    return what + std::to_string(packNumber);
}

void CAnalysisDriver::MarkEarlyEnd(Outcome outcome)
{
    // The root line keeps its text ("[all packets]", "[N packets]") and says where the
    // run ended, so a partial tree is never taken for a whole one.
    const std::string note = EarlyEndNote(outcome, m_run.packCount);
    const ItemId root = m_display.Root();
    if (note.empty() || root == kNoItem)
        return;
    try
    {
        const uint32_t text = m_tree.StoreString(LineText(m_tree, root) + note);
        m_tree.SetText(root, LineFmt::Text, text);
    }
    catch (const std::bad_alloc&)
    {
        // Without memory for the note the root keeps its plain text; the message says why.
    }
}

void CAnalysisDriver::UpdateProgress(uint64_t position)
{
    // Called for every element: the division only when the bar may move.
    if (position < m_run.nextProgress)
        return;
    const uint64_t percent = position / m_run.progressStep;
    m_run.nextProgress = (percent + 1) * m_run.progressStep;
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
    if (mpeg::IsAudioStream(code))
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
