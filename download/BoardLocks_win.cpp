// A board's claim is a named mutex that exists while the claim is held:
// creating it is the test and the claim at once, so two programs can never both
// win. The name lives in the Global namespace, so Tarnwell.exe and
// tarnwell-cli.exe in other sessions see it too.
#include "download/BoardLocks.h"

#include "framework/Win32.h"

namespace {

const wchar_t* const DEFAULT_PREFIX = L"Global\\Tarnwell.Board.";

} // namespace

BoardLocks::BoardLocks(std::wstring place)
    : m_strPlace(place.empty() ? DEFAULT_PREFIX : std::move(place))
{
}

BoardLocks::~BoardLocks()
{
    for (const auto& [ip, handle] : m_held)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

bool BoardLocks::Take(const std::wstring& ip)
{
    if (m_held.count(ip) != 0)
        return false;
    const std::wstring name = m_strPlace + ip;
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) {
        const DWORD error = ::GetLastError();
        // Another kind of object (an event, a section) under the claim's name
        // was put there to switch the claims off: the board counts as held.
        if (error == ERROR_INVALID_HANDLE) {
            Warn(L"warning: " + name + L" is another kind of object, not a board's claim; " + ip
                + L" is left alone as if another program were updating it");
            return false;
        }
        // Access denied: another user's program holds it. Any other failure must
        // not stop a download: the board is served unclaimed, as before locks existed.
        return error != ERROR_ACCESS_DENIED;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return false;
    }
    m_held[ip] = reinterpret_cast<std::intptr_t>(mutex);
    return true;
}

void BoardLocks::Release(const std::wstring& ip)
{
    const auto it = m_held.find(ip);
    if (it == m_held.end())
        return;
    ::CloseHandle(reinterpret_cast<HANDLE>(it->second));
    m_held.erase(it);
}
