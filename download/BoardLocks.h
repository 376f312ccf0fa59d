#pragma once

#include <cstdint>
#include <map>
#include <string>

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

    // False when the board is held already, by another program or by this one.
    bool Take(const std::wstring& ip);
    void Release(const std::wstring& ip);
    const std::wstring& Place() const { return m_strPlace; }

private:
    std::wstring m_strPlace;
    std::map<std::wstring, std::intptr_t> m_held; // address -> mutex handle or file descriptor
};
