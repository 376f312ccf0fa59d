// The POSIX side of tarnwell-cli: a UDP socket bound to every local IPv4
// address, poll() for replies, signals, files, the terminal and the entry point.
#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <iostream>

#include "cli/CliApp.h"
#include "cli/FileBytes.h"
#include "cli/platform/AdapterSockets.h"
#include "cli/platform/IPlatform.h"
#include "cli/platform/SystemClock.h"
#include "download/BoardLocks.h"
#include "net/IPv4.h"
#include "net/TextCodec.h"

namespace {

// The first interrupt, and a pipe that wakes the network's poll for it.
volatile std::sig_atomic_t g_signal = 0;
int g_wakeRead = -1, g_wakeWrite = -1;

extern "C" void OnInterrupt(int number)
{
    if (g_signal != 0) {
        // The second one does not wait for the report: the default action ends the program.
        ::signal(number, SIG_DFL);
        ::raise(number);
        return;
    }
    g_signal = number;
    const int saved = errno;
    const char byte = 0;
    if (g_wakeWrite >= 0 && ::write(g_wakeWrite, &byte, 1) < 0) {
        // Full or gone: the loop still sees the flag at its next turn.
    }
    errno = saved;
}

// Non-blocking, and closed in any program this one starts.
bool MakePrivate(int fd)
{
    return ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) == 0 && ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

void CatchInterrupts()
{
    int fds[2];
    if (::pipe(fds) == 0) {
        for (int fd : fds)
            MakePrivate(fd);
        g_wakeRead = fds[0];
        g_wakeWrite = fds[1];
    }
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (int number : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&action.sa_mask, number);
    // Restarted calls: a write to the output interrupted halfway is no lost output.
    action.sa_flags = SA_RESTART;
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before {};
        ::sigaction(number, nullptr, &before);
        // Started with SIGHUP ignored (nohup): a closed terminal must not stop a flash.
        if (number == SIGHUP && before.sa_handler == SIG_IGN)
            continue;
        ::sigaction(number, &action, nullptr);
    }
}

std::uint64_t MemoryLimit()
{
    // Half the machine's memory: an image is read whole, and once for every run.
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
    const std::uint64_t half = pages > 0 && pageSize > 0
        ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize) / 2
        : std::uint64_t{1} << 30;
    return std::min<std::uint64_t>(half, SIZE_MAX / 2);
}

std::wstring FileTypeName(mode_t mode)
{
    if (S_ISDIR(mode))
        return L"a directory";
    if (S_ISFIFO(mode))
        return L"a FIFO";
    if (S_ISCHR(mode))
        return L"a character device";
    if (S_ISBLK(mode))
        return L"a block device";
    if (S_ISSOCK(mode))
        return L"a socket";
    return L"no regular file";
}

std::uint32_t HostOrder(const sockaddr* address)
{
    return ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
}

class PosixNetwork : public AdapterSockets {
public:
    explicit PosixNetwork(int wakeFd) : m_nWakeFd(wakeFd) {}

    bool Open(std::wstring& error)
    {
        ifaddrs* interfaces = nullptr;
        if (::getifaddrs(&interfaces) != 0) {
            error = L"cannot list the network interfaces: " + ErrnoText(errno);
            return false;
        }
        // Every IPv4 address of every interface that is up; an interface with
        // several addresses gets a socket for each, so each subnet is reached.
        for (const ifaddrs* i = interfaces; i != nullptr; i = i->ifa_next) {
            if (i->ifa_addr == nullptr || i->ifa_netmask == nullptr || i->ifa_addr->sa_family != AF_INET
                || (i->ifa_flags & IFF_UP) == 0)
                continue;
            Add(AdapterAddress{FormatAddress(HostOrder(i->ifa_addr)), FormatAddress(HostOrder(i->ifa_netmask))});
        }
        ::freeifaddrs(interfaces);
        return true;
    }

    void Wait(std::uint64_t timeoutMs, std::vector<Datagram>& received) override
    {
        std::vector<pollfd> polled;
        for (int fd : m_sockets)
            polled.push_back(pollfd{fd, POLLIN, 0});
        // The wake pipe stays readable once written: after an interrupt every
        // wait returns at once, and the loop stops.
        if (m_nWakeFd >= 0)
            polled.push_back(pollfd{m_nWakeFd, POLLIN, 0});
        const int timeout = static_cast<int>(timeoutMs > INT_MAX ? INT_MAX : timeoutMs);
        if (::poll(polled.data(), polled.size(), timeout) <= 0)
            return;
        // One datagram from each socket that has one: a download waits once a
        // block, and a read that finds nothing costs as much as one that does.
        // Whatever else waits is found by the next wait.
        for (std::size_t i = 0; i < m_sockets.size(); ++i) {
            if ((polled[i].revents & POLLIN) != 0)
                Read(polled[i].fd, received, false);
        }
    }

private:
    bool ReadyForWait(int fd) override { return MakePrivate(fd); }

    int m_nWakeFd;
};

// O_APPEND puts every write() at the end of the file as one piece, so a
// line written in one call is never split by another station's line.
class PosixAppendFile : public IAppendFile {
public:
    explicit PosixAppendFile(int fd) : m_fd(fd) {}
    PosixAppendFile(const PosixAppendFile&) = delete;
    PosixAppendFile& operator=(const PosixAppendFile&) = delete;
    ~PosixAppendFile() override { ::close(m_fd); }

    int LastByte() override
    {
        struct stat info {};
        unsigned char last = 0;
        if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0
            || ::pread(m_fd, &last, 1, info.st_size - 1) != 1)
            return -1;
        return last;
    }

    long long Write(const char* data, std::size_t size, std::wstring& error) override
    {
        ssize_t written = 0;
        do {
            written = ::write(m_fd, data, size);
        } while (written < 0 && errno == EINTR);
        if (written < 0)
            error = ErrnoText(errno);
        return written;
    }

private:
    int m_fd;
};

class PosixPlatform : public IPlatform {
public:
    std::unique_ptr<INetwork> OpenNetwork(std::wstring& error) override
    {
        auto network = std::make_unique<PosixNetwork>(g_wakeRead);
        if (!network->Open(error))
            return nullptr;
        return network;
    }

    bool ReadFile(const std::wstring& path, std::vector<std::uint8_t>& bytes, std::wstring& error) override
    {
        // Arguments were widened byte for byte; narrowing gives the name back as typed.
        return ReadAndClose(std::fopen(WideToAnsi(path).c_str(), "rb"), bytes, error);
    }

    bool ReadImage(const std::wstring& path, std::vector<std::uint8_t>& bytes, std::wstring& error) override
    {
        const std::string name = WideToAnsi(path);
        struct stat link {}, target {};
        const bool viaLink = ::lstat(name.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
        // Refused before it is opened: opening a device can have effects of its own.
        if (::stat(name.c_str(), &target) == 0 && !S_ISREG(target.st_mode)) {
            error = NotRegularFile(FileTypeName(target.st_mode), viaLink);
            return false;
        }
        // Without blocking, in case it was swapped for a FIFO meanwhile, and
        // asked again what it is once open.
        const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            error = ErrnoText(errno);
            return false;
        }
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            error = NotRegularFile(FileTypeName(opened.st_mode), viaLink);
            ::close(fd);
            return false;
        }
        std::FILE* file = ::fdopen(fd, "rb");
        if (file == nullptr)
            ::close(fd);
        return ReadWholeFile(file, static_cast<std::uint64_t>(opened.st_size), MemoryLimit(), bytes, error);
    }

    std::unique_ptr<std::ostream> OpenLog(const std::wstring& path, std::wstring& error) override
    {
        auto file = std::make_unique<std::ofstream>(WideToAnsi(path), std::ios::out | std::ios::app);
        if (!file->is_open()) {
            error = ErrnoText(errno);
            return nullptr;
        }
        return file;
    }

    std::unique_ptr<IAppendFile> OpenRecord(const std::wstring& path, std::wstring& error) override
    {
        // Read as well, to see whether the file ends with a line break; a
        // record that may only be written is kept all the same.
        const std::string name = WideToAnsi(path);
        int fd = ::open(name.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
        if (fd < 0 && errno == EACCES)
            fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
        if (fd < 0) {
            error = ErrnoText(errno);
            return nullptr;
        }
        return std::make_unique<PosixAppendFile>(fd);
    }

    std::ostream& Out() override { return std::cout; }
    std::ostream& Err() override { return std::cerr; }

    bool ErrIsTerminal() override
    {
        const char* term = std::getenv("TERM");
        return ::isatty(STDERR_FILENO) == 1 && term != nullptr && std::strcmp(term, "dumb") != 0;
    }

    BoardLocks* Locks() override { return &m_locks; }
    int Interruption() override { return g_signal; }

private:
    BoardLocks m_locks;
};

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(AnsiToWide(argv[i]));
    CatchInterrupts();
    PosixPlatform platform;
    SystemClock clock;
    return RunCli(platform, clock, args);
}
