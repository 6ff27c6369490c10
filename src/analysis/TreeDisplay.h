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

class CTreeDisplay
{
public:
    explicit CTreeDisplay(CResultTree& tree) : m_tree(tree) {}

    // The root line of a run and its four branches; forgets the lines of a run before.
    void Begin(std::string_view fileName, uint32_t maxPacks);

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
    void SequenceHeader(const CSequenceHeader& h);
    void GopHeader(const CGopHeader& h);
    void PictureHeader(const CPictureHeader& h);
    void ExtensionData();
    void Padding();

private:
    ItemId DataLine();

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
    };
    Lines m_lines;
};
