#include "app/inspector/TreeLinks.h"

#include "analysis/LineFormat.h"
#include "syntax/Mpeg.h"

#include <algorithm>

namespace inspector
{

namespace
{
// Packs longer than this are not walked (a damaged length field); real ones are far
// shorter.
constexpr uint64_t kMaxPackBytes = 1 << 20;

bool IsPesStreamLine(LineFmt fmt) { return fmt == LineFmt::PesStream || fmt == LineFmt::PesStreamPts; }

uint8_t StreamIdOfLine(LineFmt fmt, uint64_t arg)
{
    return static_cast<uint8_t>(fmt == LineFmt::PesStreamPts ? (arg >> 40) & 0xFF : ArgLo(arg) & 0xFF);
}

bool IsAudioFrameLine(LineFmt fmt)
{
    return fmt == LineFmt::AudioHeaderFirst || fmt == LineFmt::AudioHeaderNext || fmt == LineFmt::AudioHeaderFirstErr ||
           fmt == LineFmt::AudioHeaderNextErr;
}

// The start code a video line of a packet shows, 0xFF for none.
uint8_t VideoCodeOf(LineFmt fmt)
{
    switch (fmt)
    {
    case LineFmt::SequenceHeader: return mpeg::kSequenceHeader;
    case LineFmt::GroupOfPictures: return mpeg::kGroupStart;
    case LineFmt::Picture: return mpeg::kPictureStart;
    case LineFmt::ExtensionData: return mpeg::kExtensionStart;
    default: return 0xFF;
    }
}

const char* VideoNameOf(uint8_t code)
{
    switch (code)
    {
    case mpeg::kSequenceHeader: return "sequence header";
    case mpeg::kGroupStart: return "group of pictures header";
    case mpeg::kPictureStart: return "picture header";
    default: return "extension";
    }
}
}  // namespace

CTreeLinks::CTreeLinks(const CResultTree& tree, const CPackList* records, uint64_t fileSize)
    : m_tree(tree), m_nFileSize(fileSize)
{
    // A record's position is taken just after its pack start code.
    if (records)
        for (const CPackNode& node : records->Nodes())
            if (node.m_nPackNumber != 0 && node.m_nPosition >= 4)
                m_packStarts.emplace_back(node.m_nPosition - 4, node.m_nPackNumber);
    std::stable_sort(m_packStarts.begin(), m_packStarts.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

bool CTreeLinks::PackOffset(uint32_t number, uint64_t& offset) const
{
    // Numbers grow with the offsets.
    const auto it = std::lower_bound(m_packStarts.begin(), m_packStarts.end(), number,
                                     [](const auto& entry, uint32_t n) { return entry.second < n; });
    if (it == m_packStarts.end() || it->second != number)
        return false;
    offset = it->first;
    return true;
}

uint32_t CTreeLinks::PackNumberAt(uint64_t offset) const
{
    const auto it = std::lower_bound(m_packStarts.begin(), m_packStarts.end(), offset,
                                     [](const auto& entry, uint64_t o) { return entry.first < o; });
    return it != m_packStarts.end() && it->first == offset ? it->second : 0;
}

const std::vector<PackElement>& CTreeLinks::Elements(uint32_t number, const ReadFile& read, uint64_t& packOffset)
{
    packOffset = 0;
    if (!PackOffset(number, packOffset))
    {
        m_walked.clear();
        m_nWalkedPack = 0;
        return m_walked;
    }
    if (m_nWalkedPack == number && !m_walked.empty())
        return m_walked;
    // Up to the next pack of the tree; the last one (or one whose successor the tree
    // did not find) ends where the walk meets the next pack header.
    const auto next = std::upper_bound(m_packStarts.begin(), m_packStarts.end(), packOffset,
                                       [](uint64_t o, const auto& entry) { return o < entry.first; });
    const uint64_t end = next != m_packStarts.end() ? next->first : m_nFileSize;
    const uint64_t size = end > packOffset ? std::min(end - packOffset, kMaxPackBytes) : 0;
    m_walkedBytes = read ? read(packOffset, size) : std::vector<uint8_t>();
    m_walked = WalkElements(m_walkedBytes.data(), m_walkedBytes.size(), packOffset);
    for (size_t i = 1; i < m_walked.size(); ++i)
        if (m_walked[i].kind == PackElement::PackHeader)
        {
            m_walked.resize(i);
            break;
        }
    m_nWalkedPack = number;
    m_nWalkedOffset = packOffset;
    return m_walked;
}

uint64_t CTreeLinks::AnalysedEnd(const ReadFile& read)
{
    uint64_t offset = 0;
    const std::vector<PackElement>& last = Elements(LastPack(), read, offset);
    return last.empty() ? offset : last.back().whole.offset + last.back().whole.size;
}

ItemId CTreeLinks::StreamPacketLine(bool audio, uint32_t k)
{
    if (!m_bStreamLinesMade)
    {
        m_bStreamLinesMade = true;
        const ItemId root = m_tree.Child(kNoItem, 0);
        ItemId packets = kNoItem;
        for (uint32_t i = 0; i < m_tree.ChildCount(root); ++i)
            if (m_tree.Format(m_tree.Child(root, i)) == LineFmt::PacketStructure)
                packets = m_tree.Child(root, i);
        for (uint32_t p = 0; packets != kNoItem && p < m_tree.ChildCount(packets); ++p)
        {
            const ItemId pack = m_tree.Child(packets, p);
            for (uint32_t d = 0; d < m_tree.ChildCount(pack); ++d)
            {
                const ItemId data = m_tree.Child(pack, d);
                if (m_tree.Format(data) != LineFmt::Data)
                    continue;
                for (uint32_t e = 0; e < m_tree.ChildCount(data); ++e)
                {
                    const ItemId line = m_tree.Child(data, e);
                    if (!IsPesStreamLine(m_tree.Format(line)))
                        continue;
                    const uint8_t id = StreamIdOfLine(m_tree.Format(line), m_tree.Arg(line));
                    if (mpeg::IsAudioStream(id) || mpeg::IsVideoStream(id))
                        m_streamLines[mpeg::IsAudioStream(id) ? 0 : 1].push_back(line);
                }
            }
        }
    }
    const std::vector<ItemId>& lines = m_streamLines[audio ? 0 : 1];
    return k < lines.size() ? lines[k] : kNoItem;
}

bool CTreeLinks::PacketLineTarget(ItemId dataChild, const ReadFile& read, Target& out)
{
    const ItemId data = m_tree.Parent(dataChild);
    const ItemId packLine = m_tree.Parent(data);
    if (m_tree.Format(packLine) != LineFmt::PackNumber)
        return false;
    out.pack = static_cast<uint32_t>(m_tree.Arg(packLine));
    const std::vector<PackElement>& elements = Elements(out.pack, read, out.packOffset);
    // The line's place among the lines of the same element kind (and stream) before it.
    const LineFmt fmt = m_tree.Format(dataChild);
    const uint8_t id = IsPesStreamLine(fmt) ? StreamIdOfLine(fmt, m_tree.Arg(dataChild)) : 0;
    auto sameKind = [&](ItemId line) {
        const LineFmt f = m_tree.Format(line);
        if (fmt == LineFmt::SystemHeader || fmt == LineFmt::Padding)
            return f == fmt;
        return IsPesStreamLine(f) && StreamIdOfLine(f, m_tree.Arg(line)) == id;
    };
    if (fmt != LineFmt::SystemHeader && fmt != LineFmt::Padding && !IsPesStreamLine(fmt))
        return false;
    uint32_t ordinal = 0;
    for (uint32_t row = 0, me = m_tree.Row(dataChild); row < me; ++row)
        ordinal += sameKind(m_tree.Child(data, row)) ? 1 : 0;
    for (const PackElement& e : elements)
    {
        const bool match = fmt == LineFmt::SystemHeader ? e.kind == PackElement::SystemHeader
                           : fmt == LineFmt::Padding
                               ? e.kind == PackElement::Packet && e.streamId == mpeg::kPaddingStream
                               : e.kind == PackElement::Packet && e.streamId == id;
        if (match && ordinal-- == 0)
        {
            out.range = e.whole;
            out.name = ElementName(e);
            return true;
        }
    }
    return false;
}

void CTreeLinks::NarrowInPacket(ItemId packetLine, ItemId line, const PackElement& packet, Target& out)
{
    // The child of packetLine on the way down to line.
    ItemId child = line;
    while (child != kNoItem && m_tree.Parent(child) != packetLine)
        child = m_tree.Parent(child);
    if (child == kNoItem || child == packetLine)
        return;
    const LineFmt fmt = m_tree.Format(child);
    if (fmt == LineFmt::PesHeader)
    {
        out.range = packet.header;
        out.name = "PES header of the " + ElementName(packet);
        return;
    }
    if (IsAudioFrameLine(fmt))
    {
        // "audio header @ N offs.": N bytes into the payload; the frame's length is on
        // its "Frame Size" line.
        const uint64_t at = packet.payload.offset + ArgLo(m_tree.Arg(child));
        uint64_t length = 4;
        for (uint32_t row = 0; row < m_tree.ChildCount(child); ++row)
            if (m_tree.Format(m_tree.Child(child, row)) == LineFmt::FrameSize)
                length = std::max<uint64_t>(ArgLo(m_tree.Arg(m_tree.Child(child, row))), 4);
        const uint64_t payloadEnd = packet.payload.offset + packet.payload.size;
        if (at < payloadEnd)
        {
            out.range = {at, std::min(length, payloadEnd - at)};
            out.name = "audio frame";
        }
        return;
    }
    const uint8_t code = VideoCodeOf(fmt);
    if (code == 0xFF)
        return;
    uint32_t ordinal = 0;
    for (uint32_t row = 0, me = m_tree.Row(child); row < me; ++row)
        ordinal += m_tree.Format(m_tree.Child(packetLine, row)) == fmt ? 1 : 0;
    const std::vector<uint64_t> starts =
        FindStartCodes(m_walkedBytes.data(), m_walkedBytes.size(), m_nWalkedOffset, packet.payload, code);
    if (ordinal >= starts.size())
        return;
    // Up to the next start code of the payload, or its end.
    const uint64_t at = starts[ordinal];
    const uint64_t payloadEnd = packet.payload.offset + packet.payload.size;
    uint64_t end = payloadEnd;
    for (uint64_t i = at + 4 - m_nWalkedOffset; i + 3 <= payloadEnd - m_nWalkedOffset && i + 3 <= m_walkedBytes.size();
         ++i)
        if (m_walkedBytes[i] == 0 && m_walkedBytes[i + 1] == 0 && m_walkedBytes[i + 2] == 1)
        {
            end = m_nWalkedOffset + i;
            break;
        }
    out.range = {at, end - at};
    out.name = VideoNameOf(code);
}

bool CTreeLinks::LineTarget(ItemId line, const ReadFile& read, Target& out)
{
    out = Target();
    if (!m_tree.IsValid(line))
        return false;
    std::vector<ItemId> chain;  // from the root down to line
    for (ItemId at = line; at != kNoItem; at = m_tree.Parent(at))
        chain.push_back(at);
    std::reverse(chain.begin(), chain.end());
    if (chain.size() < 3)
        return false;
    const LineFmt branch = m_tree.Format(chain[1]);

    if (branch == LineFmt::PacketStructure && m_tree.Format(chain[2]) == LineFmt::PackNumber)
    {
        out.pack = static_cast<uint32_t>(m_tree.Arg(chain[2]));
        const std::vector<PackElement>& elements = Elements(out.pack, read, out.packOffset);
        if (elements.empty())
            return false;
        const PackElement& header = elements.front();
        const uint64_t packEnd = elements.back().whole.offset + elements.back().whole.size;
        if (chain.size() == 3)
        {
            out.range = {out.packOffset, packEnd - out.packOffset};
            out.name = "pack";
            return true;
        }
        const LineFmt part = m_tree.Format(chain[3]);
        if (part == LineFmt::Header && header.kind == PackElement::PackHeader)
        {
            out.range = header.whole;
            out.name = "pack header";
            return true;
        }
        if (part != LineFmt::Data)
            return false;
        if (chain.size() == 4)
        {
            const uint64_t start = header.kind == PackElement::PackHeader ? header.whole.offset + header.whole.size
                                                                          : out.packOffset;
            out.range = {start, packEnd > start ? packEnd - start : 0};
            out.name = "pack data";
            return !out.range.Empty();
        }
        if (!PacketLineTarget(chain[4], read, out))
            return false;
        for (const PackElement& e : m_walked)
            if (e.whole.offset == out.range.offset && e.kind == PackElement::Packet)
                NarrowInPacket(chain[4], line, e, out);
        return true;
    }

    if (branch == LineFmt::ElementaryStreams && chain.size() >= 4)
    {
        const LineFmt group = m_tree.Format(chain[2]);
        if (group != LineFmt::AudioStream && group != LineFmt::VideoStream)
            return false;
        // The k-th packet line of the stream group is the k-th packet of its kind in the
        // packs: both are made for every packet of an audio or video stream.
        const ItemId packetLine = StreamPacketLine(group == LineFmt::AudioStream, m_tree.Row(chain[3]));
        if (packetLine == kNoItem || !PacketLineTarget(packetLine, read, out))
            return false;
        for (const PackElement& e : m_walked)
            if (e.whole.offset == out.range.offset && e.kind == PackElement::Packet)
                NarrowInPacket(chain[3], line, e, out);
        return true;
    }
    return false;
}

}  // namespace inspector
