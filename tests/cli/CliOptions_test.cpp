#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

#include "cli/commands/CliOptions.h"
#include "net/TextCodec.h"

namespace {

std::vector<std::wstring> Split(const std::wstring& line)
{
    std::wistringstream words(line);
    return std::vector<std::wstring>(std::istream_iterator<std::wstring, wchar_t>(words), {});
}

TEST(CliOptions, CommandsAndTheirValues)
{
    CliOptions o = ParseOptions(Split(L"flash fw/vex_arm_fw.bin 192.168.1.1 --to 192.168.1.2,192.168.1.3 --parallel=3 --wait 0.5 --json --log run.log"));
    EXPECT_TRUE(o.m_strError.empty()) << "unexpected error: " << WideToAnsi(o.m_strError);
    EXPECT_EQ(o.m_command, CliCommand::Flash) << "command";
    EXPECT_EQ(o.m_strFile, L"fw/vex_arm_fw.bin") << "file";
    EXPECT_EQ(o.m_addresses, (std::vector<std::wstring>{L"192.168.1.1", L"192.168.1.2", L"192.168.1.3"})) << "boards";
    EXPECT_TRUE(o.m_nParallel == 3 && o.m_nWaitMs == 500 && o.m_bJson && o.m_strLog == L"run.log") << "option values";

    o = ParseOptions(Split(L"--quiet discover --list boards.txt --list more.txt"));
    EXPECT_TRUE(o.m_command == CliCommand::Discover && o.m_bQuiet && o.m_listFiles.size() == 2 && o.m_nWaitMs == 2000)
        << "options before the command, repeated --list, default wait";

    EXPECT_FALSE(o.m_bRequireConfirmed) << "an unconfirmed result is a success unless asked otherwise";
    for (const wchar_t* line : {L"flash fw/vex_arm_fw.bin --all --require-confirmed",
             L"watch fw/vex_arm_fw.bin --require-confirmed --record r --once-per-mac"}) {
        o = ParseOptions(Split(line));
        EXPECT_TRUE(o.m_strError.empty() && o.m_bRequireConfirmed) << WideToAnsi(line);
    }

    o = ParseOptions(Split(L"flash -- --odd-name_vex_arm_fw.bin --all"));
    EXPECT_TRUE(o.m_strFile == L"--odd-name_vex_arm_fw.bin" && !o.m_bAll && o.m_addresses == std::vector<std::wstring>{L"--all"})
        << "after --, everything is an argument";
}

TEST(CliOptions, HelpAndVersionWinOverWhatFollows)
{
    const struct {
        const wchar_t* line;
        CliCommand command;
    } cases[] = {
        {L"--help", CliCommand::Help},
        {L"-h", CliCommand::Help},
        {L"help", CliCommand::Help},
        {L"flash --help --bogus", CliCommand::Help},
        {L"--version", CliCommand::Version},
        {L"discover --version", CliCommand::Version},
    };
    for (const auto& c : cases) {
        const CliOptions o = ParseOptions(Split(c.line));
        EXPECT_TRUE(o.m_command == c.command && o.m_strError.empty()) << "'" << WideToAnsi(c.line) << "'";
    }
}

TEST(CliOptions, UsageErrorsSayWhatIsWrong)
{
    const struct {
        const wchar_t* line;
        const wchar_t* error;
    } cases[] = {
        {L"", L"no command given (discover, flash or watch)"},
        {L"--json", L"no command given (discover, flash or watch)"},
        {L"upload x", L"unknown command 'upload' (the commands are discover, flash and watch)"},
        {L"discover --bogus", L"unknown option '--bogus'"},
        {L"discover -x", L"unknown option '-x'"},
        {L"discover --wait", L"--wait needs a value"},
        {L"discover --wait 0", L"--wait takes seconds above 0 and at most 3600, such as 2 or 0.5, not '0'"},
        {L"discover --wait 1.", L"--wait takes seconds above 0 and at most 3600, such as 2 or 0.5, not '1.'"},
        {L"discover --wait 3601", L"--wait takes seconds above 0 and at most 3600, such as 2 or 0.5, not '3601'"},
        {L"discover --json=yes", L"--json takes no value"},
        {L"discover --all", L"--all is an option of flash"},
        {L"discover --parallel 2", L"--parallel is an option of flash"},
        {L"flash", L"flash needs a firmware FILE"},
        {L"flash fw_vex_arm_fw.bin", L"flash needs boards: addresses, --list FILE or --all"},
        {L"flash fw.bin --all 192.168.1.1", L"--all finds the boards itself: give no addresses and no --list with it"},
        {L"flash fw.bin --all --parallel 0", L"--parallel takes a number from 1 to 256, not '0'"},
        {L"flash fw.bin --all --parallel 257", L"--parallel takes a number from 1 to 256, not '257'"},
        {L"flash fw.bin --all --parallel two", L"--parallel takes a number from 1 to 256, not 'two'"},
    };
    for (const auto& c : cases) {
        const CliOptions o = ParseOptions(Split(c.line));
        EXPECT_EQ(o.m_strError, c.error) << "error for '" << WideToAnsi(c.line) << "'";
    }
}

TEST(CliOptions, EmptyValuesThatWouldWidenTheCommandAreRefused)
{
    // An empty --to would leave no address, and no address means a broadcast on every adapter.
    const struct {
        std::vector<std::wstring> args;
        const wchar_t* error;
    } cases[] = {
        {{L"discover", L"--to", L""}, L"--to takes addresses separated by commas, not ''"},
        {{L"discover", L"--to="}, L"--to takes addresses separated by commas, not ''"},
        {{L"discover", L"--to", L","}, L"--to takes addresses separated by commas, not ','"},
        {{L"discover", L"--to", L",,,"}, L"--to takes addresses separated by commas, not ',,,'"},
        {{L"flash", L"fw/vex_arm_fw.bin", L"--to", L""}, L"--to takes addresses separated by commas, not ''"},
        {{L"discover", L"--log", L""}, L"--log takes a file name, not an empty one"},
        {{L"flash", L"fw/vex_arm_fw.bin", L"--all", L"--log="}, L"--log takes a file name, not an empty one"},
        {{L"flash", L"fw/vex_arm_fw.bin", L"--all", L"--record", L""}, L"--record takes a file name, not an empty one"},
        {{L"watch", L"fw/vex_arm_fw.bin", L"--record="}, L"--record takes a file name, not an empty one"},
        {{L"discover", L"--require-confirmed"}, L"--require-confirmed is an option of flash"},
        {{L"watch", L"fw/vex_arm_fw.bin", L"--require-confirmed=yes"}, L"--require-confirmed takes no value"},
    };
    for (const auto& c : cases) {
        const CliOptions o = ParseOptions(c.args);
        EXPECT_EQ(o.m_strError, c.error) << "error for " << WideToAnsi(c.args.back()) << " after " << WideToAnsi(c.args[1]);
    }
    const CliOptions trailing = ParseOptions({L"discover", L"--to", L"192.168.1.1,"});
    EXPECT_TRUE(trailing.m_strError.empty() && trailing.m_addresses == std::vector<std::wstring>{L"192.168.1.1"})
        << "a trailing comma after an address is no error";
}

TEST(CliOptions, SecondsAreReadToTheMillisecond)
{
    const struct {
        const wchar_t* text;
        bool ok;
        std::uint64_t ms;
    } cases[] = {
        {L"2", true, 2000}, {L"0.5", true, 500}, {L"1.25", true, 1250}, {L"0.001", true, 1},
        {L"10.0", true, 10000}, {L"1.2345", false, 0}, {L".5", false, 0}, {L"1,5", false, 0},
        {L"", false, 0}, {L"-1", false, 0}, {L"1e3", false, 0},
    };
    for (const auto& c : cases) {
        std::uint64_t ms = 0;
        const bool ok = ParseSeconds(c.text, ms);
        EXPECT_TRUE(ok == c.ok && (!ok || ms == c.ms)) << "'" << WideToAnsi(c.text) << "' read as " << ms;
    }
}

} // namespace
