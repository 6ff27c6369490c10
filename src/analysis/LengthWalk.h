#pragma once
// The tree of a walk by lengths: the demultiplexer goes from pack to pack and packet to
// packet and hands over each element with the headers it parsed; here they become the
// records and tree lines. Video start codes are looked for only in video payloads, with
// the ones that packet boundaries cut joined again; audio frames (MPEG audio, AC-3, DTS)
// are followed through their streams' payloads; every other payload is skipped. Video
// elementary streams and MPEG audio files come as they are read.

#include "analysis/CPackList.h"
#include "analysis/FrameWalk.h"
#include "analysis/TreeDisplay.h"
#include "model/CDemuxer.h"
#include "stream/StartCodeJoiner.h"

#include <array>
#include <cstdint>
#include <memory>

class CInput;

class CLengthWalk : public model::IElementHook, public model::IModelSink
{
public:
    // What the walk asks of the run after each element.
    class IProgress
    {
    public:
        virtual ~IProgress() = default;
        // The stream position reached; false ends the walk there.
        virtual bool Tick(uint64_t position) = 0;
    };

    // input: what is read, for the file offsets of the records.
    CLengthWalk(CResultTree& tree, CTreeDisplay& display, CPackList& records, const CInput& input,
                IProgress& progress, uint32_t maxPacks);
    ~CLengthWalk() override;

    // ---- model::IElementHook
    bool OnPack(const model::ElementBytes& e, const model::PackHeaders& h) override;
    bool OnSystemHeader(const model::ElementBytes& e, const CSystemHeader& h) override;
    bool OnPacket(const model::ElementBytes& e, const model::PacketHeaders& h) override;
    bool OnEndCode(const model::ElementBytes& e) override;
    bool OnElementaryData(const uint8_t* data, size_t size, uint64_t offset) override;
    // ---- model::IModelSink
    void OnContainer(model::Container container) override { m_container = container; }
    void OnEnd(const model::StreamEnd& end) override { m_end = end; }

    // Headers still waiting for bytes when the input ends are shown with what came.
    void Finish();

    uint32_t PackCount() const { return m_packs; }
    uint64_t StartCodeCount() const { return m_startCodes; }
    bool LimitReached() const { return m_limit; }
    bool Ended() const { return m_ended; }  // IProgress said stop
    const model::StreamEnd& End() const { return m_end; }

private:
    struct Video;
    // Whether the walk goes on with this element (the pack limit), counting it.
    bool Admit();
    bool Tick(uint64_t position);
    CPackNode& Record();
    void MpegAudio(uint8_t id, const uint8_t* data, size_t size, ItemId line);
    void CodedAudio(uint8_t subId, const uint8_t* data, size_t size, ItemId line);
    void ScanVideo(Video& v, const uint8_t* data, size_t n, ItemId line);
    void OnVideoCode(Video& v, uint8_t code, ItemId owner, const uint8_t* after, size_t available);
    void Collect(Video& v, const uint8_t* data, size_t n);
    void ShowVideoHeader(Video& v);

    CResultTree& m_tree;
    CTreeDisplay& m_display;
    CPackList& m_records;
    const CInput& m_input;
    IProgress& m_progress;
    uint32_t m_maxPacks;
    model::Container m_container = model::Container::ProgramStream;
    model::StreamEnd m_end;
    CPackNode* m_record = nullptr;
    uint32_t m_packs = 0;
    uint64_t m_startCodes = 0;
    bool m_limit = false;
    bool m_ended = false;
    // Per stream: the video headers being collected, the audio frames being followed.
    std::array<std::unique_ptr<Video>, 16> m_video;
    std::array<std::unique_ptr<CFrameWalk>, 32> m_mpegAudio;   // by id & 0x1F
    std::array<std::unique_ptr<CFrameWalk>, 16> m_codedAudio;  // AC-3 0x80.., DTS 0x88..
    std::unique_ptr<CFrameWalk> m_audioFile;
    ItemId m_audioFileLine = kNoItem;
};
