#include <gtest/gtest.h>

#include "cli/lanes/MemoryFirmwareFile.h"

namespace {

TEST(MemoryFirmwareFile, ViewsOfOneImageReadIndependently)
{
    const std::vector<std::uint8_t> image{1, 2, 3, 4, 5, 6, 7};
    MemoryFirmwareFile a(image), b(image);
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(a.Read(buffer, 4), -1) << "reading before Open must fail";
    ASSERT_TRUE(a.Open(L"x") && b.Open(L"x")) << "open";
    std::uint64_t length = 0, position = 0;
    EXPECT_TRUE(a.GetLength(length) && length == 7) << "length";
    EXPECT_EQ(a.Read(buffer, 4), 4) << "first read of a";
    EXPECT_EQ(b.Read(buffer, 2), 2) << "first read of b";
    EXPECT_TRUE(buffer[0] == 1 && buffer[1] == 2) << "b must start at the beginning whatever a read";
    EXPECT_EQ(a.Read(buffer, 4), 3) << "a gets the three bytes left";
    EXPECT_EQ(buffer[0], 5) << "a's second read continues where it stopped";
    EXPECT_EQ(a.Read(buffer, 4), 0) << "end of the image";
    EXPECT_TRUE(a.GetPosition(position) && position == 7) << "position at the end";
    EXPECT_TRUE(a.SeekToBegin() && a.GetPosition(position) && position == 0) << "rewind";
    a.Close();
    EXPECT_TRUE(!a.IsOpen() && a.Read(buffer, 1) == -1 && b.Read(buffer, 1) == 1) << "closing a leaves b reading";
}

} // namespace
