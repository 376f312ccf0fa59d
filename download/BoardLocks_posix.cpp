// A board's claim is an exclusive flock on its own file in a directory that
// every user can write (/run/lock on Debian, /tmp where it is missing), so that
// programs run by different users exclude each other too.
#include "download/BoardLocks.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "net/TextCodec.h"

namespace {

std::wstring SystemLockDirectory()
{
    return ::access("/run/lock", W_OK | X_OK) == 0 ? L"/run/lock" : L"/tmp";
}

// An address names a board only within its network: programs in two network
// namespaces that both serve "192.168.1.3" feed two different boards.
std::wstring NetworkName()
{
    struct stat info {};
    if (::stat("/proc/self/ns/net", &info) != 0)
        return L"net";
    return L"net" + std::to_wstring(static_cast<unsigned long long>(info.st_ino));
}

std::wstring LockPath(const std::wstring& place, const std::wstring& ip)
{
    return place + L"/tarnwell-" + NetworkName() + L"-" + ip + L".lock";
}

enum class LockFile { Opened, Link, NotAFile, Unavailable };

// Opens the lock file at `path`, making it when it is missing. The directory is
// writable by every user, so whatever stands at the name may have been put there
// by someone else: a link is never followed (it could make us create or lock a
// file of the link's choosing) and only a regular file counts (opening a FIFO
// could block).
LockFile OpenLockFile(const std::string& path, int& fd)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        // Without O_CREAT first: where protected_regular is on, O_CREAT on another
        // user's file in a sticky directory is refused even though it exists.
        fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            // O_EXCL: only a file made by this call is ours to change the mode of.
            fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
            // Readable by every user whatever the umask, so that their programs can
            // open it to find it locked.
            if (fd >= 0)
                ::fchmod(fd, 0644);
            else if (errno == EEXIST)
                continue; // made by another program just now: open that one
        }
        if (fd < 0)
            return errno == ELOOP ? LockFile::Link : LockFile::Unavailable;
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            ::close(fd);
            fd = -1;
            return LockFile::NotAFile;
        }
        return LockFile::Opened;
    }
    return LockFile::Unavailable;
}

} // namespace

BoardLocks::BoardLocks(std::wstring place)
    : m_strPlace(place.empty() ? SystemLockDirectory() : std::move(place))
{
}

BoardLocks::~BoardLocks()
{
    while (!m_held.empty())
        Release(std::wstring(m_held.begin()->first));
}

bool BoardLocks::Take(const std::wstring& ip)
{
    if (m_held.count(ip) != 0)
        return false;
    const std::string path = WideToAnsi(LockPath(m_strPlace, ip));
    // The holder deletes the file as it lets go, so a file just locked may be
    // one already unlinked: only a lock on the file the path still names counts.
    for (int attempt = 0; attempt < 10; ++attempt) {
        int fd = -1;
        const LockFile opened = OpenLockFile(path, fd);
        switch (opened) {
        case LockFile::Opened:
            break;
        case LockFile::Link:
        case LockFile::NotAFile:
            // Serving the board unclaimed would let anyone who can write the
            // directory switch the claims off: the board counts as held instead.
            Warn(L"warning: " + LockPath(m_strPlace, ip) + L" is a "
                + (opened == LockFile::Link ? L"symbolic link" : L"FIFO, folder or device")
                + L", not a lock file; " + ip + L" is left alone as if another program were updating it");
            return false;
        case LockFile::Unavailable:
            // A lock file that cannot be made must not stop a download: the board
            // is served unclaimed, as before locks existed.
            return true;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return false;
        }
        // lstat: a link put in the file's place since it was opened is no longer the file.
        struct stat locked {}, named {};
        if (::fstat(fd, &locked) == 0 && ::lstat(path.c_str(), &named) == 0 && locked.st_ino == named.st_ino
            && locked.st_dev == named.st_dev) {
            m_held[ip] = fd;
            return true;
        }
        ::close(fd);
    }
    return true;
}

void BoardLocks::Release(const std::wstring& ip)
{
    const auto it = m_held.find(ip);
    if (it == m_held.end())
        return;
    // Unlinked while still locked, so nothing is left behind; another user's
    // file in a sticky directory stays, which does no harm.
    ::unlink(WideToAnsi(LockPath(m_strPlace, ip)).c_str());
    ::close(static_cast<int>(it->second));
    m_held.erase(it);
}
