#pragma once
// The stream as a decoder sees it, delivered as a sequence of events.
//
// The demultiplexer walks packs and packets by their lengths, joins each elementary
// stream's payload across packets and cuts it into access units. Consumers (statistics,
// the checks, the inspector's series) implement IModelSink and keep only what they need:
// nothing here is stored per access unit by the model itself.
//
// Order: events come in file order of the element that triggers them, except that an
// access unit is delivered once its end is known (the next unit's start, the end of its
// frame, or the end of the stream), so it may follow packs that come after its start.
//
// Positions: offsets are positions in the stream read (see CInput): the file's own
// offsets for a plain file, running on across the files of a VOB set.
//
// Times: 90 kHz values are the coded 33-bit fields. Times on the 27 MHz clock (suffix 27)
// are unwrapped across 33-bit wrap-arounds so that they grow through the whole file.

#include <cstdint>

namespace model
{

// A stream: the PES stream id, and for private stream 1 the substream id as well.
// 0xE0 -> 0x00E0; 0xBD substream 0x80 -> 0x80BD. The system layer is kNoStream.
using StreamKey = uint16_t;
constexpr StreamKey kNoStream = 0;
constexpr StreamKey MakeStreamKey(uint8_t streamId, uint8_t subId = 0)
{
    return static_cast<StreamKey>((uint32_t{subId} << 8) | streamId);
}
constexpr uint8_t StreamIdOf(StreamKey key) { return static_cast<uint8_t>(key & 0xFF); }
constexpr uint8_t SubIdOf(StreamKey key) { return static_cast<uint8_t>(key >> 8); }

enum class Container : uint8_t
{
    ProgramStream,   // MPEG-2 or MPEG-1 system stream
    VideoElementary, // .m2v / .mpv: one video stream, no system layer
    AudioElementary, // .mp2 / .mpa: one audio stream, no system layer
};

enum class Kind : uint8_t
{
    Unknown,
    Video,       // MPEG-1/2 video
    MpegAudio,   // layers I-III, MPEG-1 and MPEG-2 LSF
    Ac3,
    Dts,
    Lpcm,
    Subpicture,
    Navigation,  // private stream 2 (DVD PCI/DSI)
    Padding,
    Other,
};

struct PackEvent
{
    uint32_t index = 0;       // 0-based, file order
    uint64_t offset = 0;      // of the 00 00 01 BA start code
    bool mpeg2 = true;        // false: ISO/IEC 11172-1 layout
    uint64_t scrBase = 0;     // 33-bit, 90 kHz
    uint32_t scrExtension = 0;  // 9 bits, 0 for MPEG-1
    int64_t scr27 = 0;        // scrBase * 300 + scrExtension, unwrapped
    uint32_t muxRate = 0;     // program_mux_rate, 50 bytes/s units
    uint64_t scrByteOffset = 0;  // offset of the byte holding the SCR base's last bit
    uint32_t headerSize = 0;  // start code to the end of the stuffing
    // A DVD navigation pack, known from a look at its packets before this event: the
    // VOB number of its DSI (vobu_vob_idn). Its NavPack event follows its packets.
    bool navigation = false;
    uint16_t vobId = 0;
};

struct SystemHeaderEvent
{
    uint32_t pack = 0;
    uint64_t offset = 0;
    uint32_t rateBound = 0;   // 50 bytes/s units
    uint32_t audioBound = 0;
    uint32_t videoBound = 0;
    bool fixed = false;
    bool csps = false;
    struct Entry
    {
        uint8_t streamId = 0;      // 0xB8 all audio, 0xB9 all video, or a stream id
        uint32_t bufferBound = 0;  // bytes (scale applied)
    };
    uint32_t entryCount = 0;
    Entry entries[64];
};

struct PesEvent
{
    uint32_t pack = 0;
    uint64_t offset = 0;        // of the 00 00 01 xx start code
    StreamKey stream = kNoStream;
    Kind kind = Kind::Unknown;
    bool mpeg2 = true;          // MPEG-2 PES header syntax, else MPEG-1
    uint32_t packetLength = 0;  // PES_packet_length
    uint32_t headerSize = 0;    // start code to the end of the PES header (any substream
                                // header follows: payloadOffset - offset - headerSize bytes)
    uint64_t payloadOffset = 0; // first byte of the elementary stream data (after any
                                // private stream 1 substream header)
    uint32_t payloadSize = 0;   // bytes of elementary stream data in this packet
    bool hasPts = false, hasDts = false;
    uint64_t pts = 0, dts = 0;  // 33-bit, 90 kHz
    int64_t pts27 = 0, dts27 = 0;
    bool hasPstd = false;       // P-STD_buffer field present
    uint32_t pstdBufferBytes = 0;  // P-STD_buffer_size * (scale ? 1024 : 128)
    // Private stream 1 substream header (AC-3, DTS, LPCM): frame count and first access
    // unit pointer, as coded; hasSubHeader false where the substream has none.
    bool hasSubHeader = false;
    uint8_t frameCount = 0;
    uint16_t firstAccessUnit = 0;
};

struct AccessUnit
{
    StreamKey stream = kNoStream;
    Kind kind = Kind::Unknown;
    uint64_t index = 0;        // 0-based within its stream
    uint64_t offset = 0;       // file offset of its first byte (start code or sync word)
    uint32_t pack = 0;         // pack holding that byte
    uint64_t lastOffset = 0;   // file offset of its last byte
    uint32_t lastPack = 0;     // pack holding that byte
    uint64_t esOffset = 0;     // position of its first byte in the stream's joined payload
    uint32_t size = 0;         // bytes
    uint32_t skippedBefore = 0;  // payload bytes between the previous unit's end and this start
    bool ptsCoded = false, dtsCoded = false;  // the times come from a PES header
    bool timed = false;          // times known: coded, or derived from earlier units (else 0)
    uint64_t pts = 0, dts = 0;   // 33-bit, 90 kHz (coded or derived)
    int64_t pts27 = 0, dts27 = 0;  // unwrapped, 27 MHz; dts27 == pts27 where no DTS applies
    int64_t duration27 = 0;      // frame period (repeat fields counted) or samples / rate
    // Video.
    uint8_t pictureType = 0;     // 1 I, 2 P, 3 B, 4 D
    uint16_t temporalReference = 0;
    uint16_t vbvDelay = 0;
    bool sequenceStart = false;  // a sequence header precedes the picture in this unit
    bool sequenceEnd = false;    // a sequence_end_code ends the unit (its last 4 bytes)
    bool gopStart = false;       // a GOP header precedes the picture in this unit
    bool closedGop = false, brokenLink = false;  // of the GOP it belongs to
    uint32_t gopIndex = 0, sequenceIndex = 0;
    bool topFieldFirst = false, repeatFirstField = false, progressiveFrame = true;
    // Audio.
    uint32_t sampleRate = 0;     // Hz
    uint32_t bitRate = 0;        // bit/s, 0 where free or variable
    uint8_t channels = 0;        // LFE counted
    uint8_t bitsPerSample = 0;   // LPCM
    uint8_t channelMode = 0;     // AC-3 acmod, DTS amode
    bool lfe = false;            // AC-3, DTS
    uint8_t layer = 0;           // MPEG audio 1..3
    // Video: picture_structure (3 frame, 1/2 a field picture).
    uint8_t pictureStructure = 3;
    // Subpictures: display start and stop, 90 kHz ticks after the unit's PTS.
    bool hasDisplayStart = false, hasDisplayStop = false;
    uint32_t displayStart = 0, displayStop = 0;
};

// A video sequence header with the sequence extension that follows it (MPEG-2), sent
// before the first access unit of the sequence.
struct SequenceEvent
{
    StreamKey stream = kNoStream;
    uint32_t index = 0;          // sequence header count - 1 in this stream
    uint64_t offset = 0;         // of its start code
    uint32_t pack = 0;
    bool mpeg2 = false;          // a sequence extension followed
    uint32_t width = 0, height = 0;  // extensions applied
    uint8_t aspectRatioCode = 0;     // 4 bits
    uint8_t frameRateCode = 0;       // 4 bits
    uint32_t frameRateNum = 0, frameRateDen = 1;  // frames per second as a fraction
    uint32_t bitRateValue = 0;   // 30 bits with the extension, 400 bit/s units
    uint32_t vbvBufferSize = 0;  // bytes (16 kbit units * 2048)
    uint8_t profileAndLevel = 0; // MPEG-2 only
    uint8_t chromaFormat = 1;    // 1 4:2:0, 2 4:2:2, 3 4:4:4
    bool progressiveSequence = true;
    bool lowDelay = false;
};

// DVD navigation pack: PCI (substream 0x00) and DSI (0x01) general information.
struct NavPack
{
    uint32_t pack = 0;
    uint64_t offset = 0;       // of the pack start code
    bool hasPci = false, hasDsi = false;
    // PCI
    uint32_t pciLbn = 0;       // nv_pck_lbn
    uint32_t vobuSPtm = 0, vobuEPtm = 0, vobuSeEPtm = 0;  // 90 kHz
    uint32_t cEltm = 0;        // BCD time code as coded
    // DSI
    uint32_t dsiScr = 0;       // nv_pck_scr
    uint32_t dsiLbn = 0;       // nv_pck_lbn
    uint32_t vobuEa = 0;
    uint32_t ref1Ea = 0, ref2Ea = 0, ref3Ea = 0;
    uint16_t vobIdn = 0;
    uint8_t cellIdn = 0;
    uint32_t nextVobu = 0, prevVobu = 0;  // as coded (flags in the top bits)
};

// An MPEG_program_end_code: the program stream ends; a later pack starts another one,
// with a clock of its own.
struct ProgramEndEvent
{
    uint32_t pack = 0;         // the pack before it
    uint64_t offset = 0;       // of its start code
};

// A new time base: from its first pack on, the stream runs on a clock of its own. The
// first time base of an input is not announced; each later one comes just before the
// event of its first pack. After an end code or at a new VOB, the access units under
// way are delivered before it (they belong to the clock that ends) and the elementary
// streams' times start again from their next coded time stamps; an SCR that runs back
// with no such boundary leaves the elementary streams as they are.
struct TimeBaseEvent
{
    enum class Reason : uint8_t
    {
        ProgramEnd,    // the pack after an MPEG_program_end_code
        VobChange,     // a navigation pack whose VOB number differs from the last one
        ScrBackwards,  // an SCR lower than the last, with no boundary to explain it
    };
    uint32_t index = 0;        // 1 for the input's second time base, 2 for its third, ...
    Reason reason = Reason::ProgramEnd;
    uint32_t pack = 0;         // its first pack
    uint64_t offset = 0;       // of that pack's start code
    uint16_t vobId = 0, previousVobId = 0;  // VobChange
    // The first pack's SCR (scrBase * 300 + scrExtension, as coded) and the previous
    // pack's, on the clock that ends.
    int64_t scr27 = 0, previousScr27 = 0;
};

struct ResyncEvent
{
    uint32_t pack = 0;         // the pack before the damage
    uint64_t offset = 0;       // first byte skipped
    uint64_t skipped = 0;      // bytes skipped
};

struct StreamEnd
{
    uint64_t fileSize = 0;
    uint32_t packs = 0;
    bool readError = false;
    bool stopped = false;
};

class IModelSink
{
public:
    virtual ~IModelSink() = default;
    virtual void OnContainer(Container) {}
    virtual void OnPack(const PackEvent&) {}
    virtual void OnSystemHeader(const SystemHeaderEvent&) {}
    virtual void OnPes(const PesEvent&) {}
    virtual void OnSequence(const SequenceEvent&) {}
    virtual void OnAccessUnit(const AccessUnit&) {}
    virtual void OnNavPack(const NavPack&) {}
    virtual void OnProgramEnd(const ProgramEndEvent&) {}
    virtual void OnTimeBase(const TimeBaseEvent&) {}
    virtual void OnResync(const ResyncEvent&) {}
    virtual void OnEnd(const StreamEnd&) {}
};

}  // namespace model
