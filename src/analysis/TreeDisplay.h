#pragma once
// The tree's view of an analysis: turns parsed elements into result tree lines. The
// driver says what it found, in stream order; this decides where the lines go (the
// "Essentials", "Elementary streams", "Video sequence" and "Packet structure" branches)
// and keeps the lines it adds to next. The Show functions add one element's lines and
// serve anything else that shows an element.

#include "analysis/CResultTree.h"
#include "analysis/LineFormat.h"

#include <cstdint>
#include <string_view>

class CAudioHeader;
class CGopHeader;
class CPackHeader;
class CPesHeader;
class CPictureHeader;
class CSequenceHeader;
class CSystemHeader;
struct CAc3Header;
struct CDtsHeader;
struct CLpcmHeader;
struct CMpeg1PackHeader;
struct CMpeg1PesHeader;
struct CNavDsi;
struct CNavPci;
struct CSubstreamHeader;

// SCR, mux rate and "Details" with the fields, under a pack's "HEADER" line.
void ShowPackHeader(CResultTree& tree, ItemId headerLine, const CPackHeader& h);
// A "System Header" group under parent with the fields and the streams; returns it.
ItemId ShowSystemHeader(CResultTree& tree, ItemId parent, const CSystemHeader& h);
// The "Stream 0x.." line of a PES packet under parent; returns it.
ItemId ShowPesStreamLine(CResultTree& tree, ItemId parent, const CPesHeader& h);
// A "PES HEADER" group under parent with the fields; returns it.
ItemId ShowPesHeader(CResultTree& tree, ItemId parent, const CPesHeader& h);
// The field lines of a PES header directly under item.
void AddPesFieldLines(CResultTree& tree, ItemId item, const CPesHeader& h);
ItemId ShowSequenceHeader(CResultTree& tree, ItemId parent, const CSequenceHeader& h);
ItemId ShowGopHeader(CResultTree& tree, ItemId parent, const CGopHeader& h);
ItemId ShowPictureHeader(CResultTree& tree, ItemId parent, const CPictureHeader& h);
// Six value lines directly under line.
void ShowAudioHeader(CResultTree& tree, ItemId line, const CAudioHeader& h);

// SCR, mux rate and "Details" with the MPEG-1 layout's fields, under a pack's "HEADER".
void ShowMpeg1PackHeader(CResultTree& tree, ItemId headerLine, const CMpeg1PackHeader& h);
// A "PES HEADER" group of an MPEG-1 packet (stuffing, STD buffer, time stamps); returns it.
ItemId ShowMpeg1PesHeader(CResultTree& tree, ItemId parent, const CMpeg1PesHeader& h);
// A "SUBSTREAM HEADER" group of a private stream 1 packet, with the LPCM header's
// fields where there is one; returns it.
ItemId ShowSubstreamHeader(CResultTree& tree, ItemId parent, const CSubstreamHeader& h, const CLpcmHeader* lpcm);
// "PCI" and "DSI" groups of a navigation packet with their main fields; return them.
ItemId ShowNavPci(CResultTree& tree, ItemId parent, uint32_t packetLength, const CNavPci& h);
ItemId ShowNavDsi(CResultTree& tree, ItemId parent, uint32_t packetLength, const CNavDsi& h);
// Six value lines of an AC-3 or DTS frame header directly under line.
void ShowAc3Header(CResultTree& tree, ItemId line, const CAc3Header& h);
void ShowDtsHeader(CResultTree& tree, ItemId line, const CDtsHeader& h);

class CTreeDisplay
{
public:
    explicit CTreeDisplay(CResultTree& tree) : m_tree(tree) {}

    // The root line of a run and its four branches; forgets the lines of a run before.
    // byLength: the walk by lengths, which keeps every line under the root (elements
    // before the first pack have their "DATA" under "Packet structure").
    void Begin(std::string_view fileName, uint32_t maxPacks, bool byLength = false);
    // The root line of the last run (kNoItem before the first).
    ItemId Root() const { return m_lines.root; }

    // Which of a pack's lines went into the tree (none once it is full).
    struct PackLines
    {
        bool pack = false, header = false;
    };
    PackLines Pack(uint32_t number, const CPackHeader& h);
    void SystemHeader(const CSystemHeader& h);
    // The packet's line in its elementary stream (audio and video ids only), its stream
    // line in the pack's "DATA" and its header in both.
    void PesPacket(const CPesHeader& h);
    // An audio frame header found at offset at of the payload; expected is where the
    // frame before ended (for the first one: what an earlier packet carried over).
    void AudioFrame(int32_t at, int32_t expected, bool first, const CAudioHeader& h);
    void SequenceHeader(const CSequenceHeader& h) { SequenceHeader(h, m_lines.currentStream); }
    void GopHeader(const CGopHeader& h) { GopHeader(h, m_lines.currentStream); }
    void PictureHeader(const CPictureHeader& h) { PictureHeader(h, m_lines.currentStream); }
    void ExtensionData() { ExtensionData(m_lines.currentStream); }
    void Padding();

    // ---- the walk by lengths
    // The video headers under a given packet line (kNoItem: only "Video sequence").
    void SequenceHeader(const CSequenceHeader& h, ItemId packetLine);
    void GopHeader(const CGopHeader& h, ItemId packetLine);
    void PictureHeader(const CPictureHeader& h, ItemId packetLine);
    void ExtensionData(ItemId packetLine);
    PackLines Pack(uint32_t number, const CMpeg1PackHeader& h);
    // One packet of any stream but padding, with the headers it has.
    struct Packet
    {
        uint8_t streamId = 0;
        uint32_t packetLength = 0;
        const CPesHeader* mpeg2 = nullptr;        // the PES header in either syntax, or
        const CMpeg1PesHeader* mpeg1 = nullptr;   // none for streams without one
        const CSubstreamHeader* substream = nullptr;  // private stream 1
        const CLpcmHeader* lpcm = nullptr;
        const CNavPci* pci = nullptr;             // private stream 2
        const CNavDsi* dsi = nullptr;
    };
    // Its lines in the pack's "DATA", and for audio, video and the substreams of private
    // stream 1 a packet line under the stream's "Elementary streams" item, which is
    // returned (kNoItem for the other streams) and becomes the current stream line.
    ItemId PacketLines(const Packet& p);
    // A frame header found at offset at of a payload (or of an audio file), under line:
    // the first of its packet says where it was expected; marked when it is elsewhere.
    ItemId FrameLine(ItemId line, int32_t at, int32_t expected, bool first, bool mark);
    // The "(Audio Stream 0)" item of an MPEG audio file.
    ItemId AudioFileStream();
    ItemId CurrentStreamLine() const { return m_lines.currentStream; }

private:
    ItemId DataLine();
    ItemId PacketStreamItem(const Packet& p);

    CResultTree& m_tree;
    struct Lines
    {
        ItemId root = kNoItem;
        ItemId essentials = kNoItem;
        ItemId elementaryStreams = kNoItem;
        ItemId videoSequence = kNoItem;
        ItemId packetStructure = kNoItem;
        ItemId videoInformation = kNoItem;  // made with the first sequence header
        bool videoInformationShown = false;
        ItemId pack = kNoItem;              // "PACK #n" of the current pack
        ItemId data = kNoItem;              // its "DATA", made with its first element
        ItemId videoStream = kNoItem;
        ItemId audioStream = kNoItem;
        ItemId currentStream = kNoItem;     // the packet line the stream's elements go under
        ItemId substreams[256] = {};        // private stream 1, by substream id
        bool byLength = false;
    };
    Lines m_lines;
};
