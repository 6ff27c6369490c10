#pragma once
// From a line of the result tree to the bytes it shows: the pack of a "PACK #n" line,
// the pack header under its "HEADER", a packet under "DATA" (its PES header under "PES
// HEADER"), and the packet of an "Elementary streams" line ("pack PTS = ...") with the
// audio frames and video headers under it. The tree keeps no offsets: a line is found
// again among the elements of its pack, walked by lengths, by its kind and its place
// among its siblings. Qt-free; the bytes are read through the caller.

#include "analysis/CPackList.h"
#include "analysis/CResultTree.h"
#include "app/inspector/PackElements.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace inspector
{

class CTreeLinks
{
public:
    // Reads up to size bytes of the file at offset (fewer at its end).
    using ReadFile = std::function<std::vector<uint8_t>(uint64_t offset, uint64_t size)>;

    // tree and records of one analysis of a file of fileSize bytes.
    CTreeLinks(const CResultTree& tree, const CPackList* records, uint64_t fileSize);

    struct Target
    {
        uint32_t pack = 0;        // the tree's number of the pack (PACK #n)
        uint64_t packOffset = 0;  // where that pack starts
        ByteRange range;          // what to highlight
        std::string name;         // what it is: "pack header", "PES packet 0xE0", ...
    };
    // What the line shows in the file; false for lines that are no element of a pack
    // (the root, the summaries of "Essentials" and "Video sequence").
    bool LineTarget(ItemId line, const ReadFile& read, Target& out);

    // Packs of the tree: (start offset, number) in file order.
    const std::vector<std::pair<uint64_t, uint32_t>>& PackStarts() const { return m_packStarts; }
    // The start of PACK #number, or false when the tree holds no such pack.
    bool PackOffset(uint32_t number, uint64_t& offset) const;
    // The number of the pack that starts at offset, 0 if none does.
    uint32_t PackNumberAt(uint64_t offset) const;
    // The highest pack number of the tree (0 without packs).
    uint32_t LastPack() const { return m_packStarts.empty() ? 0 : m_packStarts.back().second; }
    // Where the last pack of the tree ends.
    uint64_t AnalysedEnd(const ReadFile& read);

private:
    // The pack's elements, read and walked (the last pack walked is kept).
    const std::vector<PackElement>& Elements(uint32_t number, const ReadFile& read, uint64_t& packOffset);
    // The k-th PES line of an audio (or video) stream under "Packet structure".
    ItemId StreamPacketLine(bool audio, uint32_t k);
    bool PacketLineTarget(ItemId dataChild, const ReadFile& read, Target& out);
    // Narrows a packet's target to the line under it on the way to line.
    void NarrowInPacket(ItemId packetLine, ItemId line, const PackElement& packet, Target& out);

    const CResultTree& m_tree;
    uint64_t m_nFileSize;
    std::vector<std::pair<uint64_t, uint32_t>> m_packStarts;
    // "Stream 0x.." lines of audio and of video packets, in order (made on first use).
    bool m_bStreamLinesMade = false;
    std::vector<ItemId> m_streamLines[2];
    uint32_t m_nWalkedPack = 0;
    uint64_t m_nWalkedOffset = 0;
    std::vector<uint8_t> m_walkedBytes;
    std::vector<PackElement> m_walked;
};

}  // namespace inspector
