#include "ImageStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace boardsim {
namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ImageStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/boardsim-store-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr) << "no temporary directory";
        m_dir = dir;
    }
    void TearDown() override
    {
        [[maybe_unused]] const int rc = std::system(("rm -rf '" + m_dir + "'").c_str());
    }
    std::string m_dir;
};

TEST_F(ImageStoreTest, WritesTheImageUnderTheBoardAddress)
{
    const std::vector<std::uint8_t> expected = {1, 2, 3};
    const ImageStore store(m_dir + "/out", expected, true);
    ImageRecord record;
    record.fileName = "fw_vex.bin";
    record.complete = true;
    store.Store(0xc0a80101, record, std::vector<std::uint8_t>{1, 2, 3});
    EXPECT_EQ(record.path, m_dir + "/out/192.168.1.1/fw_vex.bin") << "image path; error: " << record.writeError;
    EXPECT_EQ(ReadFile(record.path), std::string("\1\2\3")) << "file content";
    EXPECT_EQ(record.identical, 1) << "identical image reported different";
    EXPECT_EQ(record.sha256, "039058c6f2c0cb492c533b0a4d14ef77cc0f78abccced5287d84a1a2011cfb81") << "hash";
    EXPECT_TRUE(record.data.empty()) << "bytes kept after writing";
}

TEST_F(ImageStoreTest, IncompleteImageIsMarkedAndDifferenceSeen)
{
    const ImageStore store(m_dir, std::vector<std::uint8_t>{1, 2, 3}, true);
    ImageRecord record;
    record.fileName = "a.bin";
    store.Store(0x0a000001, record, std::vector<std::uint8_t>{1, 2});
    EXPECT_EQ(record.path, m_dir + "/10.0.0.1/a.bin.partial") << "incomplete image path";
    EXPECT_EQ(record.identical, 0) << "short image reported identical";
}

TEST_F(ImageStoreTest, WithoutDirectoryTheBytesStayInMemory)
{
    const ImageStore store;
    ImageRecord record;
    store.Store(1, record, std::vector<std::uint8_t>{9});
    EXPECT_EQ(record.data, std::vector<std::uint8_t>{9}) << "bytes not kept";
    EXPECT_EQ(record.identical, -1) << "compared without an expected image";
    EXPECT_TRUE(record.path.empty()) << "written without a directory";
}

TEST(ImageStoreNameTest, ReceivedNamesBecomeOneSafeComponent)
{
    struct Case {
        std::string received, safe;
    } cases[] = {
        {"fw.bin", "fw.bin"}, {"../x", ".._x"}, {"a/b", "a_b"}, {"a\\b", "a_b"}, {"", "unnamed"},
        {"..", "unnamed.."}, {"t\x01.bin", "t_.bin"}, {"caf\xe9.bin", "caf\xe9.bin"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ImageStore::SafeFileName(c.received), c.safe) << "name \"" << c.received << "\"";
}

}  // namespace
}  // namespace boardsim
