// varnodel-cli on discs from end to end: --disc set beside lsdvd on every authored disc,
// --check on a disc folder (text, JSON, exit status), and the errors of paths that are no
// disc.

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace
{

const std::string kDiscs = VARNODEL_DISCS;

struct CliRun
{
    int status = -1;
    std::string out;
};

CliRun Shell(const std::string& command)
{
    CliRun r;
    std::FILE* p = ::popen(command.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int w = ::pclose(p);
    r.status = WIFEXITED(w) ? WEXITSTATUS(w) : -1;
    return r;
}

CliRun Cli(const std::string& args, bool withErrors = false)
{
    return Shell(std::string(VARNODEL_CLI) + " " + args + (withErrors ? " 2>&1" : " 2>/dev/null"));
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();)
    {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// What both lsdvd and the summary show of a title.
struct Title
{
    std::string length;
    int chapters = 0, cells = 0, audio = 0, subpictures = 0;
    std::vector<std::string> chapterLengths, cellLengths, audioLanguages, subpictureLanguages;
    std::vector<int> channels, rates;
    std::vector<std::string> formats;
};

std::vector<Title> FromLsdvd(const std::string& text)
{
    std::vector<Title> titles;
    const std::regex title(R"(^Title: \d+, Length: ([0-9:.]+) Chapters: (\d+), Cells: (\d+), Audio streams: (\d+), Subpictures: (\d+))");
    const std::regex chapter(R"(^\tChapter: \d+, Length: ([0-9:.]+),)");
    const std::regex cell(R"(^\tCell: \d+, Length: ([0-9:.]+))");
    const std::regex audio(R"(^\tAudio: \d+, Language: (\S+) - .*Format: (\S+)\s*, Frequency: (\d+),.*Channels: (\d+),)");
    const std::regex subtitle(R"(^\tSubtitle: \d+, Language: (\S+) -)");
    std::smatch m;
    for (const std::string& line : Lines(text))
    {
        if (std::regex_search(line, m, title))
            titles.push_back({m[1], std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[5])});
        else if (titles.empty())
            continue;
        else if (std::regex_search(line, m, chapter))
            titles.back().chapterLengths.push_back(m[1]);
        else if (std::regex_search(line, m, cell))
            titles.back().cellLengths.push_back(m[1]);
        else if (std::regex_search(line, m, audio))
        {
            titles.back().audioLanguages.push_back(m[1] == "xx" ? "" : std::string(m[1]));
            titles.back().formats.push_back(m[2]);
            titles.back().rates.push_back(std::stoi(m[3]));
            titles.back().channels.push_back(std::stoi(m[4]));
        }
        else if (std::regex_search(line, m, subtitle))
            titles.back().subpictureLanguages.push_back(m[1] == "xx" ? "" : std::string(m[1]));
    }
    return titles;
}

std::vector<Title> FromSummary(const std::string& text)
{
    std::vector<Title> titles;
    const std::regex title(R"(^Title \d+: VTS \d+, TTN \d+, \d+ angles?, (\d+) chapters?, (\d+) cells?, length ([0-9:.]+))");
    const std::regex chapter(R"(^  Chapter \d+: .*length ([0-9:.]+))");
    const std::regex cell(R"(^    Cell \d+: .*length ([0-9:.]+),)");
    const std::regex audio(R"(^  Audio \d+: (\S+), ([^,]+), (\d+) channels?, (\d+) Hz)");
    const std::regex subpicture(R"(^  Subpicture \d+: (.+) \()");
    std::smatch m;
    bool inTitle = false;
    for (const std::string& line : Lines(text))
    {
        if (std::regex_search(line, m, title))
        {
            Title t;
            t.chapters = std::stoi(m[1]);
            t.cells = std::stoi(m[2]);
            t.length = m[3];
            titles.push_back(t);
            inTitle = true;
        }
        else if (line.rfind("Title set", 0) == 0)
            inTitle = false;
        else if (!inTitle)
            continue;
        else if (std::regex_search(line, m, chapter))
            titles.back().chapterLengths.push_back(m[1]);
        else if (std::regex_search(line, m, cell))
            titles.back().cellLengths.push_back(m[1]);
        else if (std::regex_search(line, m, audio))
        {
            ++titles.back().audio;
            titles.back().formats.push_back(m[1]);
            titles.back().audioLanguages.push_back(m[2] == "no language" ? "" : std::string(m[2]));
            titles.back().channels.push_back(std::stoi(m[3]));
            titles.back().rates.push_back(std::stoi(m[4]));
        }
        else if (std::regex_search(line, m, subpicture))
        {
            ++titles.back().subpictures;
            titles.back().subpictureLanguages.push_back(m[1] == "no language" ? "" : std::string(m[1]));
        }
    }
    return titles;
}

}  // namespace

TEST(DiscCli, SummaryAgreesWithLsdvd)
{
    for (const char* name : {"disc", "ntsc", "ifo-only"})
    {
        SCOPED_TRACE(name);
        const std::string path = kDiscs + "/" + name;
        const CliRun ours = Cli("--disc " + path);
        ASSERT_EQ(ours.status, 0) << ours.out;
        const CliRun theirs = Shell("lsdvd -x " + path + " 2>/dev/null");
        const std::vector<Title> a = FromSummary(ours.out), b = FromLsdvd(theirs.out);
        ASSERT_FALSE(b.empty()) << theirs.out;
        ASSERT_EQ(a.size(), b.size()) << ours.out << theirs.out;
        for (size_t i = 0; i < a.size(); ++i)
        {
            SCOPED_TRACE("title " + std::to_string(i + 1));
            EXPECT_EQ(a[i].length, b[i].length);
            EXPECT_EQ(a[i].chapters, b[i].chapters);
            EXPECT_EQ(a[i].cells, b[i].cells);
            EXPECT_EQ(a[i].audio, b[i].audio);
            EXPECT_EQ(a[i].subpictures, b[i].subpictures);
            EXPECT_EQ(a[i].chapterLengths, b[i].chapterLengths);
            EXPECT_EQ(a[i].cellLengths, b[i].cellLengths);
            EXPECT_EQ(a[i].audioLanguages, b[i].audioLanguages);
            EXPECT_EQ(a[i].formats, b[i].formats);
            EXPECT_EQ(a[i].channels, b[i].channels);
            EXPECT_EQ(a[i].rates, b[i].rates);
            EXPECT_EQ(a[i].subpictureLanguages, b[i].subpictureLanguages);
        }
    }
}

// A title set lists the streams its titles play, under the same stream ids: its MPEG
// audio, the second entry after an AC-3 one, is MPEG stream 0 (0xC0), as the titles' PGC
// says, not the entry's number.
TEST(DiscCli, TitleSetStreamsAreTheTitlesStreams)
{
    const CliRun r = Cli("--disc " + kDiscs + "/disc");
    ASSERT_EQ(r.status, 0);
    const std::regex title(R"(^Title \d+: VTS (\d+),)"), set(R"(^Title set (\d+) )");
    std::map<int, std::set<std::string>> ofTitles, ofSets;
    std::set<std::string>* into = nullptr;
    std::smatch m;
    for (const std::string& line : Lines(r.out))
    {
        if (std::regex_search(line, m, set))
            into = &ofSets[std::stoi(m[1])];
        else if (std::regex_search(line, m, title))
            into = &ofTitles[std::stoi(m[1])];
        else if (into && (line.rfind("  Audio ", 0) == 0 || line.rfind("  Subpicture ", 0) == 0))
            into->insert(line);
    }
    ASSERT_EQ(ofSets.size(), 2u) << r.out;
    EXPECT_EQ(ofSets, ofTitles) << r.out;
    EXPECT_TRUE(ofSets[2].count("  Audio 2: mpeg1, fr, 2 channels, 48000 Hz (0xC0)")) << r.out;
}

// --streams lists each VOB set's streams before the findings. A set of several VOBs, each
// on a clock of its own from near 0, has its rates per second on each clock: the
// manager's menus are two VOBs of one second each, whose first seconds must not add up
// to one second of twice the rate.
TEST(DiscCli, CheckListsEachVobSetsStreams)
{
    const CliRun r = Cli("--check --streams " + kDiscs + "/disc");
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char* set : {"VMGM (VIDEO_TS.VOB): ", "VTSM 1 (VTS_01_0.VOB): ",
                            "VTS 1 (VTS_01_1.VOB to VTS_01_2.VOB): ", "VTS 2 (VTS_02_1.VOB): "})
        EXPECT_NE(("\n" + r.out).find(std::string("\n") + set), std::string::npos) << set << "\n" << r.out;
    const std::regex rates(R"(^  (0x\S+) .* avg ([0-9.]+) kbit/s  peak ([0-9.]+) kbit/s)");
    std::smatch m;
    int menuStreams = 0;
    for (const std::string& line : Lines(r.out))
    {
        if (line.rfind("VTSM 1 ", 0) == 0)
            break;
        if (std::regex_search(line, m, rates) && m[1] != "0xBF")
        {
            ++menuStreams;
            EXPECT_LT(std::stod(m[3]), 1.1 * std::stod(m[2])) << line;
        }
    }
    EXPECT_EQ(menuStreams, 2) << r.out;
    const CliRun json = Cli("--check --streams --json " + kDiscs + "/disc");
    EXPECT_NE(json.out.find("\"vob_sets\": [{\"set\": \"VMGM\", \"streams\": [{"), std::string::npos) << json.out;
}

TEST(DiscCli, SummaryJson)
{
    const CliRun r = Cli("--disc --json " + kDiscs + "/disc");
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << "one line";
    EXPECT_EQ(r.out.rfind("{\"disc\": \"" + kDiscs + "/disc\", \"titles\": [{\"title\": 1, \"vts\": 1, \"ttn\": 1, "
                          "\"angles\": 1, \"chapters\": 2, \"cells\": 4, \"length\": 4.920, ",
                          0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find("\"audio\": [{\"format\": \"ac3\", \"language\": \"en\", \"channels\": 2, \"sample_rate\": "
                         "48000, \"stream\": \"0xBD:0x80\"}, {\"format\": \"mpeg1\", \"language\": \"fr\", "
                         "\"channels\": 2, \"sample_rate\": 48000, \"stream\": \"0xC0\"}], \"subpictures\": "
                         "[{\"language\": \"de\", \"stream\": \"0xBD:0x20\"}]"),
              std::string::npos)
        << r.out;
    // The second chapter of title 1: cells 2 to 4, the first of them going on in VOB 1.
    EXPECT_NE(r.out.find("{\"chapter\": 2, \"pgc\": 1, \"program\": 2, \"length\": 3.960, \"cells\": [{\"cell\": 2, "
                         "\"vob\": 1, \"vob_cell\": 2, \"length\": 1.240, \"first_sector\": 70, "),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("\"findings\""), std::string::npos);
}

TEST(DiscCli, CheckADisc)
{
    const std::string disc = kDiscs + "/disc";
    {
        const CliRun r = Cli("--check " + disc);
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find("\n0 errors, 0 warnings, 6 infos in 5 VOB files, "), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("VTS_01_1.VOB:\ninfo    time-base"), std::string::npos) << r.out;
    }
    // The same through VIDEO_TS.IFO's path; an IFO-only copy has its one error.
    EXPECT_EQ(Cli("--check " + disc + "/VIDEO_TS/VIDEO_TS.IFO").status, 0);
    {
        const CliRun r = Cli("--check --json " + kDiscs + "/ifo-only");
        EXPECT_EQ(r.status, 3) << r.out;
        EXPECT_NE(r.out.find("\"findings\": [{\"file\": \"VIDEO_TS.VOB\", \"check\": \"dvd-vob-files\", \"severity\": "
                             "\"error\", \"pack\": null, \"offset\": 0, \"stream\": null, \"time\": null, "),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("\"errors\": 1, \"warnings\": 0, \"infos\": 0}\n"), std::string::npos) << r.out;
    }
    {
        // A disc and a stream in one run: one JSON line each.
        const CliRun r = Cli("--check --json " + disc + " " + kDiscs + "/ntsc/VIDEO_TS/VTS_01_1.VOB");
        EXPECT_EQ(r.status, 0);
        ASSERT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
        EXPECT_EQ(r.out.rfind("{\"disc\": ", 0), 0u);
        EXPECT_NE(r.out.find("\n{\"file\": "), std::string::npos);
    }
}

TEST(DiscCli, PathsThatAreNoDisc)
{
    TempDir empty;
    {
        const CliRun r = Cli("--check " + empty.Path(), true);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "Cannot open input file: " + empty.Path() + ": no VIDEO_TS.IFO or VTS_nn_0.IFO in it\n");
    }
    {
        const CliRun r = Cli("--disc " + empty.Path() + "/nothing", true);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "Cannot open input file: " + empty.Path() + "/nothing: no such file\n");
    }
    EXPECT_EQ(Cli("--disc --check " + kDiscs + "/disc").status, 2);
    const CliRun help = Cli("--disc --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: varnodel-cli --disc [--json] DIR...\n", 0), 0u) << help.out;
}
