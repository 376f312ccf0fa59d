// The file dialog's own procedures under the callback guard: a failure inside
// them is reported, and nothing unwinds through the dialog.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "framework/CallbackGuard.h"
#include "framework/FileDialog.h"
#include "tests/win/WinTestSupport.h"

#include <dlgs.h>

namespace {

// Armed, the next allocation of exactly this many bytes fails: the buffer the
// dialog's Open check takes for the typed name, and nothing else of the test's.
std::size_t g_failAllocationOf = 0;
std::string g_reported;

void RecordFailure(const char* what)
{
    g_reported = what;
}

}  // namespace

// Replaces the program's allocation for this whole test program; unarmed it
// only passes on to malloc and free, as the library's own does.
void* operator new(std::size_t size)
{
    if (g_failAllocationOf != 0 && size == g_failAllocationOf) {
        g_failAllocationOf = 0;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size != 0 ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

TEST(FileDialog, AFailureInsideTheOpenCheckIsCaughtByTheGuard)
{
    const CallbackFailure before = SetCallbackFailure(RecordFailure);
    g_reported.clear();
    CFileDialog dlg(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, L"Firmware (*.bin)|*.bin||", nullptr);
    bool escaped = false, stillOpen = false;
    RunInModalLoop([&](HWND fileDlg) {
        const std::wstring typed = L"guard_vex_arm_fw.bin";
        ::SendMessageW(fileDlg, CDM_SETCONTROLTEXT, edt1, reinterpret_cast<LPARAM>(typed.c_str()));
        g_failAllocationOf = CFileDialog::MAX_PATH_CHARS * sizeof(wchar_t);
        try {
            ::SendMessageW(fileDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        } catch (...) {
            escaped = true;
        }
        g_failAllocationOf = 0;
        stillOpen = ::IsWindow(fileDlg) != FALSE;
        ::PostMessageW(fileDlg, WM_COMMAND, IDCANCEL, 0);
    });
    const INT_PTR result = dlg.DoModal();
    SetCallbackFailure(before);
    EXPECT_FALSE(escaped) << "the exception crossed the dialog's procedure";
    EXPECT_NE(g_reported.find("bad_alloc"), std::string::npos) << "the guard must report the failure, got \""
                                                               << g_reported << "\"";
    EXPECT_TRUE(stillOpen) << "the failed Open must leave the dialog open";
    EXPECT_EQ(result, IDCANCEL);
}
