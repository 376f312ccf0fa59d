#include <gtest/gtest.h>

#include <cstdio>

#include "cli/FileBytes.h"

namespace {

// A temporary file holding `size` bytes.
std::FILE* FileOf(std::size_t size)
{
    std::FILE* file = std::tmpfile();
    for (std::size_t i = 0; i < size; ++i)
        std::fputc(static_cast<int>(i % 251), file);
    std::rewind(file);
    return file;
}

TEST(FileBytes, AnImageIsReadWholeOrNotAtAll)
{
    const struct {
        std::size_t actual;   // bytes in the file
        std::uint64_t stated; // its size when it was asked
        std::uint64_t limit;
        bool ok;
        const wchar_t* error;
    } cases[] = {
        {3000, 3000, 1 << 20, true, L""},
        {0, 0, 1 << 20, true, L""},
        {3000, 3000, 2999, false, L"it is 3000 bytes, more than this command holds in memory here (at most 2999)"},
        {2000, 3000, 1 << 20, false, L"it changed while it was read"}, // shrank meanwhile
        {3001, 3000, 1 << 20, false, L"it changed while it was read"}, // grew meanwhile
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> bytes{1, 2, 3};
        std::wstring error;
        const bool ok = ReadWholeFile(FileOf(c.actual), c.stated, c.limit, bytes, error);
        EXPECT_EQ(ok, c.ok) << c.actual << " bytes stated as " << c.stated;
        EXPECT_EQ(error, c.error) << c.actual << " bytes stated as " << c.stated;
        EXPECT_EQ(bytes.size(), ok ? c.actual : 0u) << "bytes kept of " << c.actual << " stated as " << c.stated;
    }
}

TEST(FileBytes, WhatIsNoRegularFileIsNamed)
{
    EXPECT_EQ(NotRegularFile(L"a FIFO", false), L"it is a FIFO; only a regular file can be flashed") << "FIFO";
    EXPECT_EQ(NotRegularFile(L"a character device", true),
        L"it is a link to a character device; only a regular file can be flashed")
        << "link to a device";
}

TEST(FileBytes, AListThatNeverEndsIsRefused)
{
    const struct {
        std::size_t size;
        bool ok;
    } cases[] = {{0, true}, {1000, true}, {200000, true}, {200001, false}, {1000000, false}};
    for (const auto& c : cases) {
        std::vector<std::uint8_t> bytes;
        std::wstring error;
        EXPECT_EQ(ReadAndClose(FileOf(c.size), bytes, error, 200000), c.ok) << "a list of " << c.size << " bytes";
        EXPECT_EQ(bytes.size(), c.ok ? c.size : 0u) << "bytes kept of " << c.size;
        if (!c.ok)
            EXPECT_EQ(error, L"it holds more than 200000 bytes, more than a list of addresses takes") << c.size;
    }
}

} // namespace
