// The Windows side of tarnwell-cli: Winsock sockets bound to each adapter
// address, an event for each one's replies and one for the console's
// interrupts, files, the console and the entry point.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "cli/CliApp.h"
#include "cli/FileBytes.h"
#include "cli/platform/AdapterSockets.h"
#include "cli/platform/IPlatform.h"
#include "cli/platform/SystemClock.h"
#include "download/BoardLocks.h"
#include "net/AdapterList_win.h"
#include "net/IPv4.h"

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace {

// The console's handler runs on a thread of its own: it only sets the number
// and the event the network waits on, both made before it is registered.
std::atomic<int> g_signal{0};
HANDLE g_interruptEvent = nullptr; // manual reset: stays set, every later wait returns at once
HANDLE g_reportDone = nullptr;     // set once the command has written its report

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    int number = 0;
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: number = SIGNAL_INT; break;
    case CTRL_CLOSE_EVENT: number = SIGNAL_HUP; break;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: number = SIGNAL_TERM; break;
    default: return FALSE;
    }
    int none = 0;
    if (!g_signal.compare_exchange_strong(none, number)) {
        // The second one does not wait for the report.
        ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(128 + g_signal.load()));
        return TRUE;
    }
    ::SetEvent(g_interruptEvent);
    // Closing the console ends the process once this returns: the report gets
    // the few seconds the system allows before that.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        ::WaitForSingleObject(g_reportDone, 4500);
    return TRUE;
}

void CatchInterrupts()
{
    g_interruptEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_reportDone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_interruptEvent != nullptr && g_reportDone != nullptr)
        ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

std::uint64_t MemoryLimit()
{
    // Half the machine's memory: an image is read whole, and once for every run.
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    const std::uint64_t half = ::GlobalMemoryStatusEx(&status) ? status.ullTotalPhys / 2 : std::uint64_t{1} << 30;
    return std::min<std::uint64_t>(half, SIZE_MAX / 2);
}

class WinNetwork : public AdapterSockets {
public:
    ~WinNetwork() override
    {
        // The sockets go before Windows Sockets is cleaned up.
        Close();
        for (HANDLE e : m_events)
            ::CloseHandle(e);
        if (m_bStarted)
            ::WSACleanup();
    }

    bool Open(std::wstring& error)
    {
        WSADATA data;
        if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
            error = L"cannot start Windows Sockets";
            return false;
        }
        m_bStarted = true;
        // Every address of every adapter, so each subnet is reached; 0.0.0.0
        // (an adapter without an address) would match every target.
        std::vector<AdapterAddress> addresses;
        ListAdapterAddresses(EVERY_ASSIGNED_ADDRESS, addresses);
        for (const AdapterAddress& a : addresses)
            Add(a);
        // Loopback is no adapter to the adapter list; it is added for
        // unicasts, so that boards simulated on 127.0.0.x can be reached.
        Add(AdapterAddress{L"127.0.0.1", L"255.0.0.0"});
        return true;
    }

    void Wait(std::uint64_t timeoutMs, std::vector<Datagram>& received) override
    {
        // A download waits once a block, and under Wine every socket call is a
        // trip to the server, a failed read as much as a good one. So each
        // socket has an event of its own and the wait says which one has a
        // datagram: that socket is read once, and the next wait finds whatever
        // else waits. The sockets take turns at being looked at first, so that
        // a flood on one delays no other. The console's interrupt comes last.
        const std::size_t count = m_events.size();
        std::vector<HANDLE> order;
        for (std::size_t k = 0; k < count; ++k)
            order.push_back(m_events[(m_nNext + k) % count]);
        if (g_interruptEvent != nullptr)
            order.push_back(g_interruptEvent);
        if (order.empty())
            return;
        const DWORD timeout = static_cast<DWORD>(std::min<std::uint64_t>(timeoutMs, 86400000u));
        const DWORD result = ::WaitForMultipleObjects(static_cast<DWORD>(order.size()), order.data(), FALSE, timeout);
        if (result >= WAIT_OBJECT_0 + count)
            return; // the interrupt, the time-out or a failure
        const std::size_t e = (m_nNext + (result - WAIT_OBJECT_0)) % count;
        m_nNext = (e + 1) % count;
        if (e + 1 < count || m_sockets.size() == count) {
            Read(m_sockets[e], received, false);
            return;
        }
        // Sockets beyond the wait's limit share the last event: each is read out.
        for (std::size_t i = e; i < m_sockets.size(); ++i)
            Read(m_sockets[i], received, true);
    }

private:
    bool ReadyForWait(SOCKET s) override
    {
        // The wait takes one handle for the console's interrupt besides these.
        const bool shared = m_events.size() == MAXIMUM_WAIT_OBJECTS - 1;
        // Auto-reset: the wait that reports it also clears it, which saves a
        // call a block; a read re-enables FD_READ, so a datagram still waiting
        // sets it again.
        const HANDLE readable = shared ? m_events.back() : ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
        // WSAEventSelect makes the socket non-blocking as well.
        if (readable == nullptr || ::WSAEventSelect(s, readable, FD_READ) != 0) {
            if (readable != nullptr && !shared)
                ::CloseHandle(readable);
            return false;
        }
        if (!shared)
            m_events.push_back(readable);
        return true;
    }

    std::vector<HANDLE> m_events;    // per socket; the last is shared by any beyond the wait's limit
    std::size_t m_nNext = 0;         // the event looked at first by the next wait
    bool m_bStarted = false;
};

// FILE_APPEND_DATA puts every WriteFile at the end of the file as one piece,
// so a line written in one call is never split by another station's line.
class WinAppendFile : public IAppendFile {
public:
    explicit WinAppendFile(HANDLE file) : m_file(file) {}
    WinAppendFile(const WinAppendFile&) = delete;
    WinAppendFile& operator=(const WinAppendFile&) = delete;
    ~WinAppendFile() override { ::CloseHandle(m_file); }

    int LastByte() override
    {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(m_file, &size) || size.QuadPart <= 0)
            return -1;
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>((size.QuadPart - 1) & 0xFFFFFFFF);
        at.OffsetHigh = static_cast<DWORD>((size.QuadPart - 1) >> 32);
        unsigned char last = 0;
        DWORD read = 0;
        if (!::ReadFile(m_file, &last, 1, &read, &at) || read != 1)
            return -1;
        return last;
    }

    long long Write(const char* data, std::size_t size, std::wstring& error) override
    {
        DWORD written = 0;
        if (!::WriteFile(m_file, data, static_cast<DWORD>(size), &written, nullptr)) {
            error = L"write failed (error " + std::to_wstring(::GetLastError()) + L")";
            return -1;
        }
        return written;
    }

private:
    HANDLE m_file;
};

class WinPlatform : public IPlatform {
public:
    std::unique_ptr<INetwork> OpenNetwork(std::wstring& error) override
    {
        auto network = std::make_unique<WinNetwork>();
        if (!network->Open(error))
            return nullptr;
        return network;
    }

    bool ReadFile(const std::wstring& path, std::vector<std::uint8_t>& bytes, std::wstring& error) override
    {
        return ReadAndClose(::_wfopen(path.c_str(), L"rb"), bytes, error);
    }

    bool ReadImage(const std::wstring& path, std::vector<std::uint8_t>& bytes, std::wstring& error) override
    {
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            error = NotRegularFile(L"a directory", false);
            return false;
        }
        // Opened without sharing rights taken away, and asked what it is
        // before a byte is read: a console, a device or a pipe is refused.
        const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            error = SystemErrorText(::GetLastError());
            return false;
        }
        const DWORD type = ::GetFileType(handle);
        LARGE_INTEGER size{};
        if (type != FILE_TYPE_DISK || !::GetFileSizeEx(handle, &size)) {
            ::CloseHandle(handle);
            error = NotRegularFile(type == FILE_TYPE_PIPE ? L"a pipe" : L"a device", false);
            return false;
        }
        const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
        std::FILE* file = fd >= 0 ? ::_fdopen(fd, "rb") : nullptr;
        if (file == nullptr) {
            if (fd >= 0)
                ::_close(fd);
            else
                ::CloseHandle(handle);
            error = L"cannot read it";
            return false;
        }
        return ReadWholeFile(file, static_cast<std::uint64_t>(size.QuadPart), MemoryLimit(), bytes, error);
    }

    std::unique_ptr<std::ostream> OpenLog(const std::wstring& path, std::wstring& error) override
    {
        auto file = std::make_unique<std::ofstream>(std::filesystem::path(path), std::ios::out | std::ios::app);
        if (!file->is_open()) {
            error = ErrnoText(errno);
            return nullptr;
        }
        return file;
    }

    std::unique_ptr<IAppendFile> OpenRecord(const std::wstring& path, std::wstring& error) override
    {
        // Read as well, to see whether the file ends with a line break; a
        // record that may only be appended to is kept all the same.
        HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED)
            file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD code = ::GetLastError();
            error = code == ERROR_ACCESS_DENIED ? L"Permission denied"
                : code == ERROR_PATH_NOT_FOUND  ? L"No such file or directory"
                                                : L"cannot open it (error " + std::to_wstring(code) + L")";
            return nullptr;
        }
        return std::make_unique<WinAppendFile>(file);
    }

    std::ostream& Out() override { return std::cout; }
    std::ostream& Err() override { return std::cerr; }

    bool ErrIsTerminal() override
    {
        // Bars need a console that understands cursor movements.
        const HANDLE handle = ::GetStdHandle(STD_ERROR_HANDLE);
        DWORD mode = 0;
        return ::GetConsoleMode(handle, &mode) && ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }

    BoardLocks* Locks() override { return &m_locks; }
    int Interruption() override { return g_signal.load(); }

private:
    BoardLocks m_locks;
    static std::wstring SystemErrorText(DWORD code)
    {
        wchar_t* text = nullptr;
        const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        std::wstring message = n > 0 && text != nullptr ? std::wstring(text, n) : L"error " + std::to_wstring(code);
        if (text != nullptr)
            ::LocalFree(text);
        while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
            message.pop_back();
        return message;
    }
};

// The console shows what the command writes, UTF-8, as long as it runs.
class Utf8Console {
public:
    Utf8Console() : m_nBefore(::GetConsoleOutputCP())
    {
        if (m_nBefore != 0 && m_nBefore != CP_UTF8)
            ::SetConsoleOutputCP(CP_UTF8);
    }
    ~Utf8Console()
    {
        if (m_nBefore != 0 && m_nBefore != CP_UTF8)
            ::SetConsoleOutputCP(m_nBefore);
    }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    UINT m_nBefore;
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::wstring> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    CatchInterrupts();
    const Utf8Console console;
    WinPlatform platform;
    SystemClock clock;
    const int status = RunCli(platform, clock, args);
    std::cout.flush();
    if (g_reportDone != nullptr)
        ::SetEvent(g_reportDone);
    return status;
}
