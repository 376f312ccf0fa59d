#include "Options.h"

#include <gtest/gtest.h>

#include <vector>

namespace boardsim {
namespace {

bool Parse(std::vector<const char*> args, Options& options, std::string& error)
{
    args.insert(args.begin(), "boardsim");
    return Options::Parse(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(OptionsTest, ReadsBoardsAndSettings)
{
    Options options;
    std::string error;
    ASSERT_TRUE(Parse({"--board", "name=A,ip=192.168.1.1", "--board", "ip=192.168.1.2,silent", "--out", "/tmp/o",
                       "--quiet", "--port", "40000", "--spread", "250", "--summary", "s.json"},
                      options, error))
        << error;
    EXPECT_EQ(options.boards.size(), 2u) << "boards";
    EXPECT_EQ(options.outDir, "/tmp/o") << "output directory";
    EXPECT_TRUE(options.quiet) << "quiet";
    EXPECT_EQ(options.port, 40000) << "port";
    EXPECT_EQ(options.spread, 250000u) << "spread in microseconds";
    EXPECT_EQ(options.summaryPath, "s.json") << "summary path";
}

TEST(OptionsTest, ListenerStaysOnLoopbackWhenEveryBoardIsThere)
{
    struct Case {
        std::vector<const char*> args;
        const char* listen;
    } cases[] = {
        {{"--board", "ip=127.0.0.5"}, "127.255.255.255"},
        {{"--board", "ip=127.0.0.5", "--board", "ip=192.168.1.1"}, "0.0.0.0"},
        {{"--board", "ip=192.168.1.1", "--listen", "none"}, ""},
        {{"--board", "ip=192.168.1.1", "--listen", "192.168.1.255"}, "192.168.1.255"},
    };
    for (const auto& c : cases) {
        Options options;
        std::string error;
        ASSERT_TRUE(Parse(c.args, options, error)) << error;
        EXPECT_EQ(options.ListenAddress(), c.listen) << "listener for " << c.args.size() << " arguments";
    }
}

TEST(OptionsTest, MistakesAreRefused)
{
    const std::vector<std::vector<const char*>> bad = {
        {},
        {"--board", "ip=1.2.3.4", "--board", "ip=1.2.3.4"},
        {"--board", "ip=1.2.3.4", "--port", "0"},
        {"--board", "ip=1.2.3.4", "--port", "70000"},
        {"--board", "ip=1.2.3.4", "--bogus"},
        {"--board"},
    };
    for (const auto& args : bad) {
        Options options;
        std::string error;
        EXPECT_FALSE(Parse(args, options, error)) << "accepted a bad command line of " << args.size() << " words";
        EXPECT_FALSE(error.empty()) << "no message";
    }
}

TEST(OptionsTest, HelpAndVersionNeedNoBoard)
{
    Options help, version;
    std::string error;
    EXPECT_TRUE(Parse({"--help"}, help, error) && help.help) << "--help: " << error;
    EXPECT_TRUE(Parse({"--version"}, version, error) && version.version) << "--version: " << error;
    // The manual page is made from this text under the name the program was started by.
    EXPECT_EQ(Options::Usage("tarnwell-boardsim").rfind("Usage: tarnwell-boardsim --board BOARD", 0), 0u)
        << "usage line: " << Options::Usage("tarnwell-boardsim").substr(0, 60);
}

}  // namespace
}  // namespace boardsim
