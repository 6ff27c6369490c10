// varnodel-cli --save from end to end: a real stream analysed and written, and the two
// failures a user of the command line can meet.

#include "AafReader.h"
#include "AafTestUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/wait.h>

namespace
{
// Three MPEG-2 packs back to back, each 44 00 04 00 04 01 01 89 C3 F8 (SCR 0, program mux
// rate 25200, no stuffing), and the program end code.
void WriteThreePackStream(const std::string& path)
{
    const uint8_t pack[14] = {0x00, 0x00, 0x01, 0xBA,  // pack start code
                              0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xF8};
    const uint8_t end[4] = {0x00, 0x00, 0x01, 0xB9};
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < 3; ++i)
        out.write(reinterpret_cast<const char*>(pack), sizeof(pack));
    out.write(reinterpret_cast<const char*>(end), sizeof(end));
}

struct CliRun
{
    int status = -1;
    std::string err;
};

// Runs the front through the shell; prefix may set limits first.
CliRun RunCli(const ScratchDir& dir, const std::string& args, const std::string& prefix = "")
{
    const std::string command = "sh -c \"" + prefix + "exec '" + std::string(VARNODEL_CLI) + "' " + args + "\" >/dev/null 2>'" + (dir / "stderr") + "'";
    CliRun run;
    int raw = std::system(command.c_str());
    if (raw != -1 && WIFEXITED(raw))
        run.status = WEXITSTATUS(raw);
    std::vector<uint8_t> err = ReadWholeFile(dir / "stderr");
    run.err.assign(err.begin(), err.end());
    return run;
}
}  // namespace

TEST(CliSave, WritesTheRecordsOfTheRun)
{
    ScratchDir dir;
    const std::string input = dir / "three.mpg";
    const std::string output = dir / "three.mpg.aaf";
    WriteThreePackStream(input);

    CliRun run = RunCli(dir, "--save '" + output + "' '" + input + "'");
    ASSERT_EQ(run.status, 0) << run.err;

    std::vector<uint8_t> bytes = ReadWholeFile(output);
    EXPECT_EQ(bytes.size(), 79u + input.size() + 3u * 168u);
    AafFile file;
    std::string error;
    ASSERT_TRUE(ParseAaf(bytes, &file, &error)) << error;
    EXPECT_EQ(file.inputPath, input);
    EXPECT_EQ(file.date, TodayLocal());
    ASSERT_EQ(file.nodeCount, 3u);
    ASSERT_EQ(file.nodes.size(), 3u);
    for (uint32_t i = 0; i < 3; ++i)
    {
        SCOPED_TRACE("pack " + std::to_string(i + 1));
        const AafNode& node = file.nodes[i];
        EXPECT_EQ(node.words[1] != 0, i < 2);
        EXPECT_EQ(node.words[2] != 0, i > 0);
        EXPECT_EQ(node.words[3], i + 1);
        EXPECT_EQ(node.words[4], 4 + 14 * i);  // just after each start code
        EXPECT_NE(node.words[12], 0u);
        EXPECT_NE(node.words[13], 0u);
        ASSERT_TRUE(node.hasPackRecord);
        const AafPackPayload p = DecodePackPayload(node.payload);
        EXPECT_EQ(p.fields[0], 1u);       // marker 01
        EXPECT_EQ(p.fields[9], 25200u);   // program mux rate
        EXPECT_EQ(p.fields[12], 0x1Fu);   // reserved
        EXPECT_EQ(p.fields[14], 0u);      // SCR base
        EXPECT_EQ(p.scrMs, 0.0);
        EXPECT_EQ(p.muxRateBps, 10080000u);
    }
}

TEST(CliSave, FailuresGoToStderrWithStatusOne)
{
    ScratchDir dir;
    const std::string input = dir / "three.mpg";
    WriteThreePackStream(input);

    const std::string missing = dir / "no/such/folder.aaf";
    CliRun run = RunCli(dir, "--save '" + missing + "' '" + input + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Cannot open output file " + missing), std::string::npos) << run.err;

    // A file size limit of one 512-byte block lets the save fail half-way; the file the
    // user had stays as it was.
    const std::string target = dir / "kept.aaf";
    {
        std::ofstream out(target, std::ios::binary);
        out << "kept";
    }
    run = RunCli(dir, "--save '" + target + "' '" + input + "'", "trap '' XFSZ; ulimit -f 1; ");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Cannot write output file " + target), std::string::npos) << run.err;
    std::vector<uint8_t> kept = ReadWholeFile(target);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "kept");
}
