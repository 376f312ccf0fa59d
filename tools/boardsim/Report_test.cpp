#include "Report.h"

#include "TestPackets.h"

#include <gtest/gtest.h>

#include <sstream>

namespace boardsim {
namespace {

using namespace test;

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(ParseBoardConfig("name=FW \"VEX\" 1,ip=192.168.1.1", m_configs, error)) << error;
    }

    void Send(Simulator& sim, const std::vector<std::uint8_t>& bytes, Micros now)
    {
        Datagram d;
        d.data = bytes.data();
        d.captured = d.size = bytes.size();
        d.from = {0xc0a8010a, 40000};
        d.dst = 0xc0a80101;
        d.now = now;
        std::vector<Outgoing> out;
        sim.FromBoardSocket(0, d, out);
    }

    std::vector<BoardConfig> m_configs;
};

TEST(ReportJsonTest, StringsAreEscaped)
{
    EXPECT_EQ(Report::JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"") << "quote and backslash";
    EXPECT_EQ(Report::JsonString(std::string("t\n\xe9", 3)), "\"t\\u000a\\u00e9\"") << "control and 8-bit bytes";
}

TEST_F(ReportTest, CleanRunReportsTheIdenticalImage)
{
    const auto file = TestFile(700);
    const ImageStore store("", file, true);
    Simulator sim(m_configs, store);
    Send(sim, FileName("a.bin"), 1);
    Send(sim, Block(file, 0), 2);
    Send(sim, Block(file, 1), 3);
    Send(sim, Reboot(), 4);
    EXPECT_EQ(Report::ExitStatus(sim), 0) << "clean run not clean";
    std::ostringstream keys;
    Report::WriteVerdictKeys(sim, keys);
    EXPECT_NE(keys.str().find("board.192.168.1.1.image.0.identical=yes\n"), std::string::npos) << keys.str();
    EXPECT_NE(keys.str().find("verdict=clean\n"), std::string::npos) << keys.str();
    std::ostringstream json;
    Report::WriteSummaryJson(sim, 5, json);
    EXPECT_NE(json.str().find("\"name\": \"FW \\\"VEX\\\" 1\""), std::string::npos) << "name in the summary";
    EXPECT_NE(json.str().find("\"op\": \"DATA\", \"opcode\": 3, \"status\": 0, \"length\": 196, \"seq\": 1, \"size\": 204"),
              std::string::npos)
        << "second data request in the summary:\n" << json.str();
}

TEST_F(ReportTest, FlagOrDifferentImageFailsTheRun)
{
    const ImageStore store("", TestFile(10), true);
    Simulator sim(m_configs, store);
    Send(sim, FileName("a.bin"), 1);
    Send(sim, Block(TestFile(9), 0), 2);
    Send(sim, Reboot(), 3);
    EXPECT_EQ(sim.FlagCount(), 0u) << "unexpected flag";
    EXPECT_EQ(Report::ExitStatus(sim), 1) << "an image that differs did not fail the run";
    std::ostringstream verdict;
    Report::WriteVerdict(sim, verdict, false);
    EXPECT_NE(verdict.str().find("DIFFERS"), std::string::npos) << verdict.str();

    Simulator flagged(m_configs, ImageStore());
    Send(flagged, Reboot(), 1);
    EXPECT_EQ(Report::ExitStatus(flagged), 1) << "a flag did not fail the run";
}

}  // namespace
}  // namespace boardsim
