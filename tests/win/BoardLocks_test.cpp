#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "download/BoardLocks.h"
#include "framework/Win32.h"

namespace {

// Two BoardLocks stand for two programs; a board's mutex exists while one of
// them holds it. The default names must work too: both programs use them.
TEST(BoardLocks, ABoardIsHeldByOneClaimAtATime)
{
    const std::wstring places[] = {L"Local\\TarnwellTest." + std::to_wstring(::GetCurrentProcessId()) + L".", L""};
    for (const std::wstring& place : places) {
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
            EXPECT_TRUE(first.Take(B)) << "board B after its release";
        }
        BoardLocks after(place);
        EXPECT_TRUE(after.Take(A) && after.Take(B)) << "claims outlived the programs that made them";
    }
    EXPECT_EQ(BoardLocks().Place(), L"Global\\Tarnwell.Board.") << "the name both programs share";
}

// Another kind of object made under a board's claim name would make the mutex
// impossible to create; that must not switch the claim off.
TEST(BoardLocks, AnotherObjectUnderTheClaimsNameHoldsTheBoard)
{
    const std::wstring place = L"Local\\TarnwellTest." + std::to_wstring(::GetCurrentProcessId()) + L".";
    HANDLE planted = ::CreateEventW(nullptr, TRUE, FALSE, (place + L"192.168.1.1").c_str());
    ASSERT_NE(planted, nullptr) << "cannot make the event";
    std::vector<std::wstring> warnings;
    {
        BoardLocks locks(place);
        locks.SetWarningSink([&warnings](const std::wstring& text) { warnings.push_back(text); });
        EXPECT_FALSE(locks.Take(L"192.168.1.1")) << "the board was granted";
        EXPECT_TRUE(locks.Take(L"192.168.1.2")) << "another board was refused";
    }
    ASSERT_EQ(warnings.size(), 1u) << "warnings";
    EXPECT_NE(warnings[0].find(place + L"192.168.1.1 is another kind of object"), std::wstring::npos)
        << "the warning does not name the object";
    ::CloseHandle(planted);
    BoardLocks after(place);
    EXPECT_TRUE(after.Take(L"192.168.1.1")) << "the board once the object is gone";
}

} // namespace
