#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "download/BoardLocks.h"

namespace {

// Two BoardLocks stand for two programs: each opens the lock files itself, as
// another process would, so one's claim shuts the other out.
TEST(BoardLocks, ABoardIsHeldByOneClaimAtATime)
{
    char pattern[] = "/tmp/tarnwell-locks-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr) << "no temporary directory";
    const std::filesystem::path dir = pattern;
    const std::wstring place = dir.wstring();
    const std::wstring A = L"192.168.1.1", B = L"192.168.1.2";
    {
        BoardLocks first(place);
        BoardLocks second(place);
        EXPECT_TRUE(first.Take(A)) << "a free board was refused";
        EXPECT_FALSE(second.Take(A)) << "a board held by another program was granted";
        EXPECT_FALSE(first.Take(A)) << "a board held by this program was granted again";
        EXPECT_TRUE(second.Take(B)) << "another board was refused";
        first.Release(A);
        EXPECT_TRUE(second.Take(A)) << "a released board was refused";
        second.Release(B);
        second.Release(B); // a second release of the same board changes nothing
        EXPECT_TRUE(first.Take(B)) << "board B after its release";
        struct stat net {};
        ASSERT_EQ(::stat("/proc/self/ns/net", &net), 0) << "no network namespace to name";
        const std::string file = "tarnwell-net" + std::to_string(net.st_ino) + "-192.168.1.1.lock";
        EXPECT_TRUE(std::filesystem::exists(dir / file)) << file << " not where documented";
        {
            BoardLocks third(place);
            EXPECT_FALSE(third.Take(A) || third.Take(B)) << "held boards granted to a third program";
        }
    }
    {
        BoardLocks after(place);
        EXPECT_TRUE(after.Take(A) && after.Take(B)) << "claims outlived the programs that made them";
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir)) << "lock files left behind";
    std::filesystem::remove_all(dir);
}

TEST(BoardLocks, SystemPlaceIsASharedDirectory)
{
    const std::filesystem::path place = BoardLocks().Place();
    EXPECT_TRUE(place == "/run/lock" || place == "/tmp") << "lock directory " << place;
    EXPECT_TRUE(std::filesystem::is_directory(place)) << place << " is no directory";
}

} // namespace
