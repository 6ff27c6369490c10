#pragma once
// The analysis run: walks the input once, start code by start code, lets the element
// parsers decode what they find, keeps the per-pack records, checks the audio frame
// positions and hands every element to the tree's display.

#include "analysis/CPackList.h"
#include "analysis/CResultTree.h"
#include "analysis/IAnalysisHost.h"
#include "analysis/TreeDisplay.h"
#include "stream/CMpegStreamFile.h"

#include <array>
#include <memory>
#include <string>

class CInput;
class CPesHeader;
class CSystemHeader;

class CAnalysisDriver
{
public:
    enum class Outcome
    {
        NotStarted,  // empty file name: nothing happened
        OpenFailed,  // "Cannot open input file" was shown; tree and records untouched
        EndOfInput,  // the whole file was read
        PackLimit,   // the pack limit was reached
        Stopped,     // RequestStop ended the run
        ReadError,   // the system reported a read error; the tree so far stays
        TreeFull,    // no memory for more lines: the run stopped, the tree so far stays
    };

    static constexpr const char* kOpenErrorText = "Cannot open input file";
    static constexpr const char* kReadErrorText = "Read error in input file";
    static constexpr const char* kTreeFullText = "Not enough memory for the whole analysis: it stops here";
    static constexpr const char* kErrorCaption = "Error !";

    CAnalysisDriver(CResultTree& tree, IAnalysisHost& host);
    ~CAnalysisDriver();

    // Runs one analysis of fileName; maxPacks 0 = the whole file.
    Outcome Analyze(const std::string& fileName, uint32_t maxPacks);

    // Why the input did not open (the open's errno, 0 when it opened), and that reason
    // in words: "no such file", "a directory", "permission denied", "not a regular file".
    int OpenError() const { return m_nOpenError; }
    static std::string OpenErrorReason(int error);

    // What the root line and the window title add for a run that ended early
    // (" - stopped at PACK #n" and the like); empty for a complete run.
    static std::string EarlyEndNote(Outcome outcome, uint32_t packNumber);

    // On (the default): program streams are walked pack by pack and packet by packet by
    // their lengths (MPEG-1 ones with their own layouts); video start codes are looked for
    // only in video payloads and audio frames followed through their streams' payloads,
    // headers cut by packet boundaries joined; payloads the tree does not decode are
    // skipped. A CD-XA file is read through its sectors' user data. Off: the byte walk,
    // start code by start code through the file's bytes.
    void SetFollowPacketLengths(bool on) { m_bFollowLengths = on; }
    bool FollowPacketLengths() const { return m_bFollowLengths; }

    // Asks a running analysis to end after the start code in hand.
    void RequestStop() { m_bStopRequested = true; }
    bool StopRequested() const { return m_bStopRequested; }
    bool IsRunning() const { return m_bRunning; }

    // The records of the last run (null before the first run that opened its file).
    const CPackList* Records() const { return m_pRecords.get(); }
    CPackList* Records() { return m_pRecords.get(); }
    CResultTree& Tree() { return m_tree; }

    // Figures of the last run, for summaries and benchmarks.
    uint64_t FileSize() const { return m_run.fileSize; }
    uint64_t BytesConsumed() const { return m_run.bytesConsumed; }
    uint32_t PackCount() const { return m_run.packCount; }
    uint64_t StartCodeCount() const { return m_run.startCodes; }

private:
    void Start(const std::string& fileName, uint32_t maxPacks, uint64_t size);
    Outcome Loop(uint32_t maxPacks);
    Outcome Finish(Outcome outcome);
    void OnStartCode(uint8_t code);
    void UpdateProgress(uint64_t position);
    CPackNode& Record();
    void MarkEarlyEnd(Outcome outcome);
    void OnPack();
    CPackNode& NewPack(uint64_t position);
    void ShowPack(CPackNode& node);
    void OnSystemHeader();
    void ShowSystemHeader(const CSystemHeader& header);
    void OnPesPacket(uint8_t code);
    void ShowPesPacket(const CPesHeader& pes);
    void ScanAudioPayload(uint8_t code, const CPesHeader& pes);
    void WalkAudioFrames(uint8_t code, const uint8_t* payload, int32_t L);
    template <class Element>
    void OnVideoElement(CPackNode::Element bit, void (CTreeDisplay::*show)(const Element&));
    template <class Element>
    void ShowVideoElement(CPackNode::Element bit, void (CTreeDisplay::*show)(const Element&), const Element& element);

    // The walk by lengths (CLengthWalk) over the input opened for it.
    Outcome AnalyzeByLength(const std::string& fileName, uint32_t maxPacks);
    Outcome LoopByLength(CInput& input, uint32_t maxPacks);
    void RebuildStreamFilter(const CSystemHeader& header);

    CResultTree& m_tree;
    IAnalysisHost& m_host;
    CTreeDisplay m_display;
    CMpegStreamFile m_file;
    std::unique_ptr<CPackList> m_pRecords;
    std::unique_ptr<uint8_t[]> m_pPayload;  // one audio payload, at most 64 KiB; made once

    int m_nOpenError = 0;
    bool m_bStopRequested = false;
    bool m_bFollowLengths = true;
    bool m_bRunning = false;

    // Everything a run starts afresh, and its figures.
    struct RunState
    {
        uint64_t fileSize = 0;
        uint64_t bytesConsumed = 0;
        bool readError = false;              // seen by the walk by lengths
        uint64_t startCodes = 0;
        uint64_t progressStep = 1;
        uint64_t progressShown = 0;
        uint64_t nextProgress = 0;           // the position at which the bar moves on
        uint32_t packCount = 0;
        CPackNode* record = nullptr;         // the record elements go to
        int32_t expectedAudioOffset = 0;
        std::array<bool, 256> listed{};      // stream ids the last system header lists
        std::array<int32_t, 32> carryOver{}; // per audio stream (id & 0x1F)
    };
    RunState m_run;
};
