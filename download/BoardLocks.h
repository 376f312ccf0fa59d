#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>

// Claims on boards, one per address, held while a board is served so that two
// programs never feed one board at once: named mutexes on Windows (shared by
// Tarnwell.exe and tarnwell-cli.exe), flock on a file per board elsewhere.
class BoardLocks {
public:
    // `place`: a lock directory (POSIX) or a name prefix (Windows); empty: the system's.
    explicit BoardLocks(std::wstring place = {});
    ~BoardLocks();
    BoardLocks(const BoardLocks&) = delete;
    BoardLocks& operator=(const BoardLocks&) = delete;

    // False when the board is held already, by another program or by this one,
    // and when something other than a lock file stands at the board's lock.
    bool Take(const std::wstring& ip);
    void Release(const std::wstring& ip);
    const std::wstring& Place() const { return m_strPlace; }
    // Receives a line for each lock that was found tampered with.
    void SetWarningSink(std::function<void(const std::wstring&)> sink) { m_warn = std::move(sink); }

private:
    void Warn(const std::wstring& text) const
    {
        if (m_warn)
            m_warn(text);
    }

    std::wstring m_strPlace;
    std::function<void(const std::wstring&)> m_warn;
    std::map<std::wstring, std::intptr_t> m_held; // address -> mutex handle or file descriptor
};
