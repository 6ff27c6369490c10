#pragma once
// The analysis run: walks the input once, start code by start code, lets the element
// parsers decode what they find, keeps the per-pack records, checks the audio frame
// positions and builds the result tree.

#include "analysis/CResultTree.h"
#include "analysis/IAnalysisHost.h"
#include "stream/CMpegStreamFile.h"
#include "syntax/system/CPackList.h"
#include "syntax/system/CSystemHeader.h"

#include <array>
#include <memory>
#include <string>

class CPesHeader;

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

    // Asks a running analysis to end after the start code in hand.
    void RequestStop() { m_bStopRequested = true; }
    bool StopRequested() const { return m_bStopRequested; }
    bool IsRunning() const { return m_bRunning; }

    // The records of the last run (null before the first run that opened its file).
    const CPackList* Records() const { return m_pRecords.get(); }
    CPackList* Records() { return m_pRecords.get(); }
    CResultTree& Tree() { return m_tree; }

    // Figures of the last run, for summaries and benchmarks.
    uint64_t FileSize() const { return m_nFileSize; }
    uint64_t BytesConsumed() const { return m_nBytesConsumed; }
    uint32_t PackCount() const { return m_nPackCount; }
    uint64_t StartCodeCount() const { return m_nStartCodes; }

private:
    void UpdateProgress();
    void MarkEarlyEnd(Outcome outcome);
    CPackNode& EnsureRecord();
    ItemId EnsureDataItem();
    void OnPack();
    void OnSystemHeader();
    void OnPesPacket(uint8_t code);
    void OnSequenceHeader();
    void OnGopHeader();
    void OnPictureHeader();
    template <class Element>
    void VideoElement(std::unique_ptr<Element> CPackNode::*slot, bool isSequenceHeader);
    void ShowVideoInformation(const CPackNode& node);
    void ScanAudioPayload(uint8_t code, const CPesHeader& pes);
    void RebuildStreamFilter();

    CResultTree& m_tree;
    IAnalysisHost& m_host;
    CMpegStreamFile m_file;

    int m_nOpenError = 0;
    bool m_bStopRequested = false;
    bool m_bRunning = false;
    uint8_t m_nStartCode = 0;
    uint64_t m_nProgressStep = 1;
    uint64_t m_nProgressShown = 0;
    std::unique_ptr<CPackList> m_pRecords;
    CPackNode* m_pCurrentPack = nullptr;
    uint32_t m_nPackCount = 0;
    int32_t m_nExpectedAudioOffset = 0;

    ItemId m_hRoot = kNoItem;
    ItemId m_hEssentials = kNoItem;
    ItemId m_hElementaryStreams = kNoItem;
    ItemId m_hVideoSequence = kNoItem;
    ItemId m_hPacketStructure = kNoItem;
    ItemId m_hVideoInformation = kNoItem;
    ItemId m_hData = kNoItem;
    ItemId m_hVideoStream = kNoItem;
    ItemId m_hAudioStream = kNoItem;
    ItemId m_hCurrentStream = kNoItem;

    // Per run.
    bool m_bVideoInfoShown = false;
    std::unique_ptr<CSystemHeader> m_pSystemHeaderCopy;
    std::array<bool, 256> m_listed{};                 // stream ids the copy lists
    std::array<int32_t, 32> m_carryOver{};            // per audio stream (id & 0x1F)
    std::unique_ptr<uint8_t[]> m_pPayload;            // audio payload, reused
    uint32_t m_nPayloadCapacity = 0;

    uint64_t m_nFileSize = 0;
    uint64_t m_nBytesConsumed = 0;
    uint64_t m_nStartCodes = 0;
};
