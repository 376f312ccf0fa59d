#include "app/ModulePath_win.h"

#include <vector>

#include "framework/Win32.h"

// A fixed buffer would cut a long path and put the settings somewhere else, so
// the buffer grows until the whole path fits.
std::wstring ModuleFilePath()
{
    std::vector<wchar_t> buf(256);
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0)
            return {};
        if (n < buf.size())
            return std::wstring(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}
