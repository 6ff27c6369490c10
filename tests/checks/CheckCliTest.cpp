// varnodel-cli --check from end to end: report lines, summary, JSON and exit status.

#include "support/StreamWriter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace
{

struct CliRun
{
    int status = -1;
    std::string out;
};

CliRun Cli(const std::string& args)
{
    CliRun r;
    std::FILE* p = ::popen((std::string(VARNODEL_CLI) + " " + args + " 2>/dev/null").c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int w = ::pclose(p);
    r.status = WIFEXITED(w) ? WEXITSTATUS(w) : -1;
    return r;
}

const std::string kStreams = VARNODEL_CHECK_STREAMS;

}  // namespace

TEST(CheckCli, ReportsAndExitStatus)
{
    const std::string clean = kStreams + "/dvd.mpg";
    {
        const CliRun r = Cli("--check " + clean);
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("0 errors, "), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(" infos in 932 packs, 4 streams\n"), std::string::npos) << r.out;
    }
    // Pack 5's SCR set back to 0 (the SCR bytes of an MPEG-2 pack header, markers kept).
    TempDir dir;
    Bytes b = ReadWholeFile(clean);
    const size_t pack5 = 5 * 2048;
    ASSERT_EQ(b[pack5 + 3], 0xBA);
    const uint8_t zeroScr[] = {0x44, 0x00, 0x04, 0x00, 0x04};
    std::copy(zeroScr, zeroScr + 5, b.begin() + pack5 + 4);
    b[pack5 + 9] = 0x01;
    const std::string broken = dir.Write("broken.mpg", b);
    {
        const CliRun r = Cli("--check " + broken);
        EXPECT_EQ(r.status, 3);
        // The sixth pack: the tree's "PACK #6".
        EXPECT_NE(r.out.find("error   scr-backwards   pack 6  @10240  0.000 s  SCR 0.000000 s is lower than"),
                  std::string::npos)
            << r.out;
    }
    {
        // An input that cannot be read: the others are still checked, the status is 1.
        const CliRun r = Cli("--check --json " + broken + " " + dir.File("missing.mpg") + " " + clean);
        EXPECT_EQ(r.status, 1);
        ASSERT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
        EXPECT_EQ(r.out.rfind("{\"file\": \"" + broken + "\", \"packs\": 932, ", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("{\"check\": \"scr-backwards\", \"severity\": \"error\", \"pack\": 6, "
                             "\"offset\": 10240, \"stream\": null, \"time\": 0.000000"),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("\"streams\": [{\"stream\": \"0xBF\""), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("{\"file\": \"" + clean + "\""), std::string::npos);
    }
    {
        const CliRun r = Cli("--check --streams " + clean);
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("\n  0xE0       video      MPEG-2 video"), std::string::npos) << r.out;
    }
    EXPECT_EQ(Cli("--check --bogus " + clean).status, 2);
    EXPECT_EQ(Cli("--check").status, 2);
}

// The rules' table: every id once, with its severity; the JSON is an array of them.
TEST(CheckCli, ListChecks)
{
    const CliRun text = Cli("--list-checks");
    EXPECT_EQ(text.status, 0);
    const CliRun json = Cli("--list-checks --json");
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out.front(), '[');
    size_t rules = 0;
    for (const char* id : {"scr-backwards", "time-base", "timestamp-missing", "pstd-overflow", "dvd-vobs-offset",
                           "dvd-vobu-links", "model-limit"})
    {
        const std::string line = std::string(id) + " ";
        EXPECT_EQ(text.out.find(line), text.out.rfind(line)) << id;
        EXPECT_NE(text.out.find(line), std::string::npos) << id;
        EXPECT_NE(json.out.find("{\"check\": \"" + std::string(id) + "\", \"severity\": \""), std::string::npos) << id;
    }
    for (size_t at = 0; (at = json.out.find("{\"check\"", at)) != std::string::npos; ++at)
        ++rules;
    EXPECT_EQ(rules, size_t(std::count(text.out.begin(), text.out.end(), '\n')));
    EXPECT_NE(text.out.find("time-base                info    "), std::string::npos) << text.out;
    EXPECT_EQ(Cli("--list-checks " + kStreams + "/dvd.mpg").status, 2);
}
