#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "download/BoardLocks.h"
#include "net/TextCodec.h"

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

// The file that holds the claim on `ip` in `dir`, as another program names it.
std::filesystem::path LockFileOf(const std::filesystem::path& dir, const std::string& ip)
{
    struct stat net {};
    ::stat("/proc/self/ns/net", &net);
    return dir / ("tarnwell-net" + std::to_string(net.st_ino) + "-" + ip + ".lock");
}

// Whoever can write the lock directory may put something else at a board's
// lock file. It must neither be followed nor switch the claim off: the board
// counts as held, and the warning names what was found there.
TEST(BoardLocks, SomethingPlantedAtALockFileHoldsTheBoard)
{
    char pattern[] = "/tmp/tarnwell-locks-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr) << "no temporary directory";
    const std::filesystem::path dir = pattern;
    const std::filesystem::path victim = dir / "victim", missing = dir / "made-through-the-link";
    std::ofstream(victim) << "keep";
    ::chmod(victim.c_str(), 0600);
    const std::filesystem::path planted = LockFileOf(dir, "192.168.1.1");
    const struct {
        const char* what;
        void (*plant)(const std::filesystem::path& at, const std::filesystem::path& target);
        std::filesystem::path target;
        const char* named;
    } cases[] = {
        {"a link to another file", [](auto& at, auto& target) { std::filesystem::create_symlink(target, at); },
            victim, "is a symbolic link"},
        {"a link to nothing", [](auto& at, auto& target) { std::filesystem::create_symlink(target, at); }, missing,
            "is a symbolic link"},
        {"a link to a folder", [](auto& at, auto&) { std::filesystem::create_directory_symlink("/", at); }, {},
            "is a symbolic link"},
        {"a FIFO", [](auto& at, auto&) { ::mkfifo(at.c_str(), 0666); }, {}, "is a FIFO, folder or device"},
        {"a folder", [](auto& at, auto&) { std::filesystem::create_directory(at); }, {}, "is a FIFO, folder or device"},
    };
    for (const auto& c : cases) {
        c.plant(planted, c.target);
        std::vector<std::wstring> warnings;
        {
            BoardLocks locks(dir.wstring());
            locks.SetWarningSink([&warnings](const std::wstring& text) { warnings.push_back(text); });
            EXPECT_FALSE(locks.Take(L"192.168.1.1")) << c.what << ": the board was granted";
            EXPECT_TRUE(locks.Take(L"192.168.1.2")) << c.what << ": another board was refused";
        }
        ASSERT_EQ(warnings.size(), 1u) << c.what << ": warnings";
        EXPECT_NE(warnings[0].find(planted.wstring() + L" " + AnsiToWide(c.named)), std::wstring::npos)
            << c.what << ": the warning does not name " << planted << ": " << std::filesystem::path(warnings[0]);
        EXPECT_NE(warnings[0].find(L"192.168.1.1 is left alone"), std::wstring::npos) << c.what << ": the board";
        std::string kept;
        std::ifstream(victim) >> kept;
        struct stat info {};
        ::stat(victim.c_str(), &info);
        EXPECT_TRUE(kept == "keep" && (info.st_mode & 07777) == 0600) << c.what << ": the link's target was changed";
        EXPECT_FALSE(std::filesystem::exists(missing)) << c.what << ": a file was made through the link";
        std::filesystem::remove(planted);
        BoardLocks after(dir.wstring());
        EXPECT_TRUE(after.Take(L"192.168.1.1")) << c.what << ": the board once the link is gone";
    }
    std::filesystem::remove_all(dir);
}

TEST(BoardLocks, SystemPlaceIsASharedDirectory)
{
    const std::filesystem::path place = BoardLocks().Place();
    EXPECT_TRUE(place == "/run/lock" || place == "/tmp") << "lock directory " << place;
    EXPECT_TRUE(std::filesystem::is_directory(place)) << place << " is no directory";
}

} // namespace
