#include "disc/DiscReport.h"

#include "model/StreamStats.h"

#include <cinttypes>

namespace disc
{

using model::AppendJsonString;
using model::Format;

namespace
{

// ---------------------------------------------------------------------------- what is shown

struct VideoDesc
{
    bool present = false;
    uint32_t mpeg = 2;
    std::string standard, aspect;
    uint32_t width = 0, height = 0;
};

struct StreamDesc
{
    std::string stream;     // "0xBD:0x80"
    std::string format;     // audio: "ac3"
    std::string language;   // "en", empty where none is given
    uint32_t channels = 0, sampleRate = 0;
};

struct CellDesc
{
    uint32_t cell = 0;
    uint16_t vob = 0;
    uint8_t vobCell = 0;
    int64_t ms = 0;
    uint32_t firstSector = 0, lastVobuSector = 0, lastSector = 0;
    bool stc = false;
};

struct ChapterDesc
{
    uint32_t chapter = 0, pgc = 0, program = 0;
    int64_t ms = 0;
    std::vector<CellDesc> cells;
};

struct TitleDesc
{
    uint32_t title = 0, vts = 0, ttn = 0, angles = 0, chapters = 0, cells = 0;
    bool hasPgc = false;
    int64_t ms = 0;
    VideoDesc video;
    std::vector<StreamDesc> audio, subpictures;
    std::vector<ChapterDesc> chapterList;
};

struct StreamsDesc
{
    VideoDesc video;
    std::vector<StreamDesc> audio, subpictures;
};

VideoDesc DescribeVideo(const CIfoVideoAttr& a)
{
    VideoDesc v;
    v.present = true;
    v.mpeg = a.m_nMpegVersion + 1u;
    v.standard = a.Pal() ? "PAL" : a.m_nVideoFormat == 0 ? "NTSC" : "reserved";
    v.aspect = a.AspectText();
    v.width = a.Width();
    v.height = a.Height();
    return v;
}

StreamDesc DescribeAudio(const CIfoAudioAttr& a, uint32_t number)
{
    StreamDesc s;
    const uint8_t id = static_cast<uint8_t>(a.StreamBase() + number);
    s.stream = a.StreamBase() == 0 ? std::string()
                                   : model::StreamKeyText(a.IsSubstream() ? model::MakeStreamKey(0xBD, id)
                                                                          : model::MakeStreamKey(id));
    s.format = a.FormatText();
    s.language = a.m_nLangType == 1 ? LanguageText(a.m_nLangCode) : std::string();
    s.channels = a.ChannelCount();
    s.sampleRate = a.SampleRate();
    return s;
}

StreamDesc DescribeSubpicture(const CIfoSubpAttr& a, uint32_t number)
{
    StreamDesc s;
    s.stream = model::StreamKeyText(model::MakeStreamKey(0xBD, static_cast<uint8_t>(0x20 + (number & 0x1F))));
    s.language = a.m_nType == 1 ? LanguageText(a.m_nLangCode) : std::string();
    return s;
}

// The stream number of attribute entry i: as the first of the domain's PGCs that makes it
// available says (an MPEG audio entry after an AC-3 one is MPEG stream 0, not 1); entry i
// is stream i where no PGC makes it available.
uint32_t EntryStreamNumber(const Domain& d, bool audio, uint32_t i)
{
    const int e = static_cast<int>(i);
    for (const PgcRef& ref : d.pgcs)
        if (audio ? ref.pgc->AudioAvailable(e) : ref.pgc->SubpAvailable(e))
            return audio ? ref.pgc->AudioStreamNumber(e) : ref.pgc->SubpStreamNumber(e);
    return i;
}

// A domain's streams; with a PGC, those it makes available, numbered as it says; without
// one, every entry, numbered as the domain's PGCs say.
StreamsDesc DescribeStreams(const Domain& d, const CIfoPgc* pgc)
{
    StreamsDesc out;
    if (d.video)
        out.video = DescribeVideo(*d.video);
    for (uint32_t i = 0; i < d.audioCount && i < d.AudioSlots(); ++i)
        if (!pgc || pgc->AudioAvailable(static_cast<int>(i)))
            out.audio.push_back(DescribeAudio(
                d.audio[i], pgc ? pgc->AudioStreamNumber(static_cast<int>(i)) : EntryStreamNumber(d, true, i)));
    for (uint32_t i = 0; i < d.subpCount && i < d.SubpSlots(); ++i)
        if (!pgc || pgc->SubpAvailable(static_cast<int>(i)))
            out.subpictures.push_back(DescribeSubpicture(
                d.subp[i], pgc ? pgc->SubpStreamNumber(static_cast<int>(i)) : EntryStreamNumber(d, false, i)));
    return out;
}

CellDesc DescribeCell(const CIfoPgc& pgc, size_t i)
{
    const CIfoCellPlayback& c = pgc.m_cellPlayback[i];
    CellDesc d;
    d.cell = static_cast<uint32_t>(i + 1);
    if (i < pgc.m_cellPosition.size())
    {
        d.vob = pgc.m_cellPosition[i].m_nVobIdNr;
        d.vobCell = pgc.m_cellPosition[i].m_nCellNr;
    }
    d.ms = c.m_playbackTime.DisplayMs();
    d.firstSector = c.m_nFirstSector;
    d.lastVobuSector = c.m_nLastVobuStartSector;
    d.lastSector = c.m_nLastSector;
    d.stc = c.m_nStcDiscontinuity != 0;
    return d;
}

const Domain* TitlesOf(const CDisc& disc, uint32_t vts)
{
    for (const Domain& d : disc.domains)
        if (d.kind == DomainKind::Titles && d.vts == vts && d.hasTables)
            return &d;
    return nullptr;
}

std::vector<TitleDesc> DescribeTitles(const CDisc& disc)
{
    std::vector<TitleDesc> out;
    if (!disc.vmgData.read || !disc.vmgi.m_hasTtSrpt)
        return out;
    for (size_t i = 0; i < disc.vmgi.m_ttSrpt.m_titles.size(); ++i)
    {
        const TitleRef r = ResolveTitle(disc, i);
        TitleDesc t;
        t.title = r.number;
        t.vts = r.entry->m_nTitleSetNr;
        t.ttn = r.entry->m_nVtsTtn;
        t.angles = r.entry->m_nNrOfAngles;
        t.chapters = r.entry->m_nNrOfPtts;
        if (r.firstPgc)
        {
            t.hasPgc = true;
            t.cells = r.firstPgc->m_nNrOfCells;
            t.ms = r.firstPgc->m_playbackTime.DisplayMs();
        }
        if (const Domain* d = TitlesOf(disc, t.vts))
        {
            const StreamsDesc s = DescribeStreams(*d, r.firstPgc);
            t.video = s.video;
            t.audio = s.audio;
            t.subpictures = s.subpictures;
        }
        if (r.chapters)
            for (size_t c = 0; c < r.chapters->ptts.size(); ++c)
            {
                const CIfoPttSrpt::Ptt& p = r.chapters->ptts[c];
                ChapterDesc ch;
                ch.chapter = static_cast<uint32_t>(c + 1);
                ch.pgc = p.m_nPgcn;
                ch.program = p.m_nPgn;
                const CIfoPgc* pgc = TitlePgc(*r.titleSet, p.m_nPgcn);
                if (pgc && p.m_nPgn >= 1 && p.m_nPgn <= pgc->m_programMap.size())
                {
                    // The chapter's cells: from its program's entry cell to the next
                    // chapter's, where that is in the same PGC, or to the PGC's end.
                    size_t first = pgc->m_programMap[p.m_nPgn - 1u], end = pgc->m_cellPlayback.size() + 1;
                    if (c + 1 < r.chapters->ptts.size())
                    {
                        const CIfoPttSrpt::Ptt& next = r.chapters->ptts[c + 1];
                        if (next.m_nPgcn == p.m_nPgcn && next.m_nPgn >= 1 && next.m_nPgn <= pgc->m_programMap.size())
                            end = pgc->m_programMap[next.m_nPgn - 1u];
                    }
                    for (size_t k = first; k < end && k >= 1 && k <= pgc->m_cellPlayback.size(); ++k)
                    {
                        ch.cells.push_back(DescribeCell(*pgc, k - 1));
                        if (CountsInTime(*pgc, k - 1))
                            ch.ms += ch.cells.back().ms;
                    }
                }
                t.chapterList.push_back(std::move(ch));
            }
        out.push_back(std::move(t));
    }
    return out;
}

// ---------------------------------------------------------------------------- text

std::string VideoText(const VideoDesc& v)
{
    return Format("MPEG-%u %ux%u %s %s", v.mpeg, v.width, v.height, v.standard.c_str(), v.aspect.c_str());
}

std::string AudioText(const StreamDesc& s)
{
    return Format("%s, %s, %u channel%s, %u Hz%s%s%s", s.format.c_str(),
                  s.language.empty() ? "no language" : s.language.c_str(), s.channels, s.channels == 1 ? "" : "s",
                  s.sampleRate, s.stream.empty() ? "" : " (", s.stream.c_str(), s.stream.empty() ? "" : ")");
}

void StreamsText(std::string& out, const char* indent, const StreamsDesc& s)
{
    if (s.video.present)
        out += std::string(indent) + "Video: " + VideoText(s.video) + "\n";
    for (size_t i = 0; i < s.audio.size(); ++i)
        out += Format("%sAudio %zu: %s\n", indent, i + 1, AudioText(s.audio[i]).c_str());
    for (size_t i = 0; i < s.subpictures.size(); ++i)
        out += Format("%sSubpicture %zu: %s (%s)\n", indent, i + 1,
                      s.subpictures[i].language.empty() ? "no language" : s.subpictures[i].language.c_str(),
                      s.subpictures[i].stream.c_str());
}

std::string Plural(uint64_t n, const char* word)
{
    return std::to_string(n) + ' ' + word + (n == 1 ? "" : "s");
}

std::string TitleText(const TitleDesc& t)
{
    return Format("Title %u: VTS %u, TTN %u, %s, %s, %s, length %s", t.title, t.vts, t.ttn,
                  Plural(t.angles, "angle").c_str(), Plural(t.chapters, "chapter").c_str(),
                  Plural(t.cells, "cell").c_str(), t.hasPgc ? MsText(t.ms).c_str() : "unknown");
}

std::string CellText(const CellDesc& c)
{
    return Format("Cell %u: VOB %u cell %u, length %s, sectors %u to %u, last VOBU at %u%s", c.cell, c.vob,
                  c.vobCell, MsText(c.ms).c_str(), c.firstSector, c.lastSector, c.lastVobuSector,
                  c.stc ? ", STC discontinuity" : "");
}

uint32_t MenuPgcs(const CDisc& disc, DomainKind kind, uint32_t vts)
{
    for (const Domain& d : disc.domains)
        if (d.kind == kind && d.vts == vts)
            return static_cast<uint32_t>(d.pgcs.size());
    return 0;
}

// ---------------------------------------------------------------------------- JSON

void VideoJson(std::string& out, const VideoDesc& v)
{
    if (!v.present)
    {
        out += "null";
        return;
    }
    out += Format("{\"mpeg\": %u, \"standard\": \"%s\", \"width\": %u, \"height\": %u, \"aspect\": \"%s\"}", v.mpeg,
                  v.standard.c_str(), v.width, v.height, v.aspect.c_str());
}

void LanguageJson(std::string& out, const std::string& language)
{
    if (language.empty())
        out += "null";
    else
        AppendJsonString(out, language);
}

void StreamsJson(std::string& out, const StreamsDesc& s)
{
    out += "\"video\": ";
    VideoJson(out, s.video);
    out += ", \"audio\": [";
    for (size_t i = 0; i < s.audio.size(); ++i)
    {
        const StreamDesc& a = s.audio[i];
        out += i ? ", {\"format\": " : "{\"format\": ";
        AppendJsonString(out, a.format);
        out += ", \"language\": ";
        LanguageJson(out, a.language);
        out += Format(", \"channels\": %u, \"sample_rate\": %u, \"stream\": ", a.channels, a.sampleRate);
        AppendJsonString(out, a.stream);
        out += '}';
    }
    out += "], \"subpictures\": [";
    for (size_t i = 0; i < s.subpictures.size(); ++i)
    {
        out += i ? ", {\"language\": " : "{\"language\": ";
        LanguageJson(out, s.subpictures[i].language);
        out += ", \"stream\": ";
        AppendJsonString(out, s.subpictures[i].stream);
        out += '}';
    }
    out += ']';
}

std::string Seconds(int64_t ms) { return Format("%.3f", static_cast<double>(ms) / 1000.0); }

void SummaryJsonBody(std::string& out, const CDisc& disc, const std::string& path)
{
    out += "{\"disc\": ";
    AppendJsonString(out, path);
    out += ", \"titles\": [";
    const std::vector<TitleDesc> titles = DescribeTitles(disc);
    for (size_t i = 0; i < titles.size(); ++i)
    {
        const TitleDesc& t = titles[i];
        out += i ? ", " : "";
        out += Format("{\"title\": %u, \"vts\": %u, \"ttn\": %u, \"angles\": %u, \"chapters\": %u, \"cells\": %u, "
                      "\"length\": %s, ",
                      t.title, t.vts, t.ttn, t.angles, t.chapters, t.cells, t.hasPgc ? Seconds(t.ms).c_str() : "null");
        StreamsJson(out, {t.video, t.audio, t.subpictures});
        out += ", \"chapter_list\": [";
        for (size_t c = 0; c < t.chapterList.size(); ++c)
        {
            const ChapterDesc& ch = t.chapterList[c];
            out += c ? ", " : "";
            out += Format("{\"chapter\": %u, \"pgc\": %u, \"program\": %u, \"length\": %s, \"cells\": [", ch.chapter,
                          ch.pgc, ch.program, Seconds(ch.ms).c_str());
            for (size_t k = 0; k < ch.cells.size(); ++k)
            {
                const CellDesc& cell = ch.cells[k];
                out += k ? ", " : "";
                out += Format("{\"cell\": %u, \"vob\": %u, \"vob_cell\": %u, \"length\": %s, \"first_sector\": %u, "
                              "\"last_vobu_sector\": %u, \"last_sector\": %u, \"stc_discontinuity\": %s}",
                              cell.cell, cell.vob, cell.vobCell, Seconds(cell.ms).c_str(), cell.firstSector,
                              cell.lastVobuSector, cell.lastSector, cell.stc ? "true" : "false");
            }
            out += "]}";
        }
        out += "]}";
    }
    out += "], \"title_sets\": [";
    bool first = true;
    for (const CDisc::TitleSet& ts : disc.titleSets)
    {
        const Domain* d = TitlesOf(disc, ts.number);
        if (!d)
            continue;
        out += first ? "{" : ", {";
        first = false;
        out += Format("\"vts\": %u, \"ifo\": ", ts.number);
        AppendJsonString(out, ts.data.name);
        out += Format(", \"titles\": %zu, \"menu_pgcs\": %u, ",
                      ts.vtsi.m_hasPttSrpt ? ts.vtsi.m_pttSrpt.m_titles.size() : size_t{0},
                      MenuPgcs(disc, DomainKind::TitleSetMenus, ts.number));
        StreamsJson(out, DescribeStreams(*d, nullptr));
        out += '}';
    }
    out += Format("], \"vmgm_pgcs\": %u", MenuPgcs(disc, DomainKind::ManagerMenus, 0));
}

}  // namespace

// ---------------------------------------------------------------------------- summary

std::string SummaryText(const CDisc& disc, const std::string& path)
{
    const std::vector<TitleDesc> titles = DescribeTitles(disc);
    size_t sets = 0;
    for (const CDisc::TitleSet& ts : disc.titleSets)
        sets += ts.data.read ? 1 : 0;
    std::string out = Format("Disc %s: %s, %s, %s\n", path.c_str(), Plural(titles.size(), "title").c_str(),
                             Plural(sets, "title set").c_str(),
                             Plural(MenuPgcs(disc, DomainKind::ManagerMenus, 0), "menu PGC").c_str());
    for (const TitleDesc& t : titles)
    {
        out += TitleText(t) + '\n';
        for (const ChapterDesc& ch : t.chapterList)
        {
            out += Format("  Chapter %u: PGC %u, program %u, length %s\n", ch.chapter, ch.pgc, ch.program,
                          MsText(ch.ms).c_str());
            for (const CellDesc& c : ch.cells)
                out += "    " + CellText(c) + '\n';
        }
        StreamsText(out, "  ", {t.video, t.audio, t.subpictures});
    }
    for (const CDisc::TitleSet& ts : disc.titleSets)
    {
        const Domain* d = TitlesOf(disc, ts.number);
        if (!d)
        {
            out += Format("Title set %u: not readable\n", ts.number);
            continue;
        }
        out += Format("Title set %u (%s): %s, %s\n", ts.number, ts.data.name.c_str(),
                      Plural(ts.vtsi.m_hasPttSrpt ? ts.vtsi.m_pttSrpt.m_titles.size() : 0, "title").c_str(),
                      Plural(MenuPgcs(disc, DomainKind::TitleSetMenus, ts.number), "menu PGC").c_str());
        StreamsText(out, "  ", DescribeStreams(*d, nullptr));
    }
    return out;
}

std::vector<std::string> TitleLines(const CDisc& disc)
{
    std::vector<std::string> out;
    for (const TitleDesc& t : DescribeTitles(disc))
        out.push_back(TitleText(t));
    return out;
}

std::string PgcLine(const CIfoPgc& pgc, uint32_t number)
{
    return Format("PGC %u: %s, %s, length %s", number, Plural(pgc.m_programMap.size(), "program").c_str(),
                  Plural(pgc.m_cellPlayback.size(), "cell").c_str(), MsText(pgc.m_playbackTime.DisplayMs()).c_str());
}

std::string CellLine(const CIfoPgc& pgc, size_t cell)
{
    return cell < pgc.m_cellPlayback.size() ? CellText(DescribeCell(pgc, cell)) : std::string();
}

std::string SummaryJson(const CDisc& disc, const std::string& path)
{
    std::string out;
    SummaryJsonBody(out, disc, path);
    out += "}\n";
    return out;
}

// ---------------------------------------------------------------------------- the judged disc

std::string FormatDiscFinding(const DiscFinding& d)
{
    if (d.inStream)
        return checks::FormatFinding(d.finding);
    const checks::Finding& f = d.finding;
    std::string line = Format("%-7s %-15s @%" PRIu64 "  %s", checks::SeverityName(f.severity), f.check, f.offset,
                              f.message.c_str());
    if (f.count > 1)
        line += Format(" (%" PRIu64 " times)", f.count);
    return line;
}

std::string CheckText(const DiscCheckResult& result)
{
    std::string out, file;
    for (const DiscFinding& f : result.findings.All())
    {
        if (f.file != file)
        {
            file = f.file;
            out += file + ":\n";
        }
        out += FormatDiscFinding(f) + '\n';
    }
    return out + TotalsLine(result) + '\n';
}

std::string TotalsLine(const DiscCheckResult& result)
{
    size_t files = 0;
    for (const DomainRun& r : result.runs)
        files += r.files.size();
    return FormatTotals(result.findings) + " in " + Plural(files, "VOB file") + ", " + Plural(result.packs, "pack");
}

std::string CheckJson(const DiscCheckResult& result, const std::string& path, const std::string& fields)
{
    std::string out;
    SummaryJsonBody(out, *result.disc, path);
    out += Format(", \"packs\": %" PRIu64 ", \"bytes\": %" PRIu64 ", \"findings\": [", result.packs, result.bytes);
    bool first = true;
    for (const DiscFinding& f : result.findings.All())
    {
        out += first ? "{\"file\": " : ", {\"file\": ";
        first = false;
        AppendJsonString(out, f.file);
        std::string one;
        checks::WriteFindingJson(f.finding, one);
        // The finding's own object after its opening brace; an IFO's finding has no pack.
        std::string rest = one.substr(1);
        if (!f.inStream)
        {
            const std::string pack = "\"pack\": " + std::to_string(f.finding.pack);
            const size_t at = rest.find(pack);
            if (at != std::string::npos)
                rest.replace(at, pack.size(), "\"pack\": null");
        }
        out += ", " + rest;
    }
    out += Format("], \"errors\": %" PRIu64 ", \"warnings\": %" PRIu64 ", \"infos\": %" PRIu64,
                  result.findings.Total(checks::Severity::Error), result.findings.Total(checks::Severity::Warning),
                  result.findings.Total(checks::Severity::Info));
    return out + fields + "}\n";
}

}  // namespace disc
