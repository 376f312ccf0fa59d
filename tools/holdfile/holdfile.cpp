// holdfile: test-only. Opens a file with no sharing and keeps it open for a
// while, as another program holding the firmware image would.
// Usage: holdfile.exe <path> <seconds>
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: holdfile <path> <seconds>\n");
        return 1;
    }
    HANDLE h = ::CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        std::fwprintf(stderr, L"holdfile: cannot open %ls (error %lu)\n", argv[1], ::GetLastError());
        return 2;
    }
    std::printf("held\n");
    std::fflush(stdout);
    ::Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) * 1000);
    ::CloseHandle(h);
    return 0;
}
