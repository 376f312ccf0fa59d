#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>

#include "cli/report/StatusLog.h"
#include "tests/cli/FakeNetwork.h"
#include "tests/cli/FullDisk.h"

namespace {

TEST(StatusLog, TimestampsAreUtcToTheMillisecond)
{
    const struct {
        std::uint64_t ms;
        const char* text;
    } cases[] = {
        {0, "1970-01-01T00:00:00.000Z"},
        {951782400000 + 1, "2000-02-29T00:00:00.001Z"},
        {1700000000123, "2023-11-14T22:13:20.123Z"},
        {4102444799999, "2099-12-31T23:59:59.999Z"},
        {1709251199000, "2024-02-29T23:59:59.000Z"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatTimestamp(c.ms), c.text) << "stamp of " << c.ms << " ms";
}

TEST(StatusLog, EveryLineOfAStatusTextGetsItsOwnStamp)
{
    FakeNetwork clock;
    StatusLog log(clock);
    log.Write(L"before any file\r\n"); // not attached: nothing, no failure
    auto file = std::make_unique<std::ostringstream>();
    std::ostringstream* text = file.get();
    log.Attach(std::move(file));
    clock.m_now = 123;
    log.Write(L"Unable to open C:\\fw\\x_vex_arm_fw.bin\r\nAborting download.\r\n");
    clock.m_now = 5123;
    log.Write(L"Retrying send data IP 192.168.1.1\r\n");
    EXPECT_EQ(text->str(), "2023-11-14T22:13:20.123Z Unable to open C:\\fw\\x_vex_arm_fw.bin\n"
                           "2023-11-14T22:13:20.123Z Aborting download.\n"
                           "2023-11-14T22:13:25.123Z Retrying send data IP 192.168.1.1\n")
        << "log file text";
}

TEST(StatusLog, AFailedWriteIsReportedOnceAndEndsTheLog)
{
    const struct {
        std::size_t room;
        int linesBeforeLoss; // written before the write that fails
    } cases[] = {{0, 0}, {40, 0}, {200, 3}};
    for (const auto& c : cases) {
        FakeNetwork clock;
        StatusLog log(clock);
        FullDisk disk(c.room);
        auto file = std::make_unique<std::ostream>(&disk);
        std::vector<int> reports;
        log.Attach(std::move(file), [&](int error) { reports.push_back(error); });
        int written = 0;
        for (int i = 0; i < 6; ++i) {
            log.Write(L"Unit at IP 192.168.1." + std::to_wstring(i) + L" is rebooting.\r\n");
            written += log.IsLost() ? 0 : 1;
        }
        EXPECT_EQ(written, c.linesBeforeLoss) << "lines written with room for " << c.room << " bytes";
        EXPECT_EQ(reports, std::vector<int>{ENOSPC}) << "reports of the loss with room for " << c.room << " bytes";
        const std::size_t size = disk.written.size();
        log.Write(L"later\r\n");
        EXPECT_EQ(disk.written.size(), size) << "a lost log must take nothing more";
    }
}

TEST(StatusLog, BoardNamesGoInAsUtf8)
{
    FakeNetwork clock;
    StatusLog log(clock);
    auto file = std::make_unique<std::ostringstream>();
    std::ostringstream* text = file.get();
    log.Attach(std::move(file));
    log.WriteUnicode(L"192.168.1.1\tok\tFW \u20ac 1\r\n");
    EXPECT_EQ(text->str(), "2023-11-14T22:13:21.000Z 192.168.1.1\tok\tFW \xe2\x82\xac 1\n") << "log line";
}

} // namespace
