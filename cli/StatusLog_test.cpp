#include <gtest/gtest.h>

#include <sstream>

#include "cli/FakeNetwork.h"
#include "cli/StatusLog.h"

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

} // namespace
