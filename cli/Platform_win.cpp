// The Windows side of tarnwell-cli: Winsock sockets bound to each adapter
// address, select() for replies, files, the console and the entry point.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "cli/CliApp.h"
#include "cli/FileBytes.h"
#include "cli/IPlatform.h"
#include "cli/SystemClock.h"
#include "discovery/DiscoveryText.h"
#include "net/BoardPacket.h"
#include "net/TextCodec.h"

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace {

// Every board answers a broadcast at once; a large buffer keeps the burst.
constexpr int RECEIVE_BUFFER_BYTES = 4 * 1024 * 1024;

sockaddr_in Endpoint(std::uint32_t address, unsigned short port)
{
    sockaddr_in endpoint{};
    endpoint.sin_family = AF_INET;
    endpoint.sin_port = htons(port);
    endpoint.sin_addr.s_addr = htonl(address);
    return endpoint;
}

// Every IPv4 address of every adapter, in the order the system lists them.
std::vector<AdapterAddress> ListAdapterAddresses()
{
    std::vector<AdapterAddress> addresses;
    ULONG size = 16 * sizeof(IP_ADAPTER_INFO);
    std::vector<BYTE> buffer(size);
    DWORD result = ERROR_BUFFER_OVERFLOW;
    while ((result = ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size)) == ERROR_BUFFER_OVERFLOW)
        buffer.resize(size);
    if (result != NO_ERROR)
        return addresses;
    for (const IP_ADAPTER_INFO* a = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()); a != nullptr; a = a->Next) {
        for (const IP_ADDR_STRING* ip = &a->IpAddressList; ip != nullptr; ip = ip->Next) {
            // An adapter without an address reports 0.0.0.0, which would match every target.
            if (ParseIPv4(AnsiToWide(ip->IpAddress.String)) != 0)
                addresses.push_back(AdapterAddress{AnsiToWide(ip->IpAddress.String), AnsiToWide(ip->IpMask.String)});
        }
    }
    return addresses;
}

class WinNetwork : public INetwork {
public:
    WinNetwork() = default;
    WinNetwork(const WinNetwork&) = delete;
    WinNetwork& operator=(const WinNetwork&) = delete;
    ~WinNetwork() override
    {
        for (SOCKET s : m_sockets)
            ::closesocket(s);
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
        for (const AdapterAddress& a : ListAdapterAddresses())
            Add(a);
        // Loopback is no adapter to the adapter list; it is added for
        // unicasts, so that boards simulated on 127.0.0.x can be reached.
        Add(AdapterAddress{L"127.0.0.1", L"255.0.0.0"});
        return true;
    }

    const std::vector<AdapterAddress>& Adapters() const override { return m_adapters; }

    bool SendFrom(std::size_t adapter, std::uint32_t target, const std::uint8_t* data, int length) override
    {
        // Each send sets the option itself, so no send depends on the one before.
        const SOCKET s = m_sockets[adapter];
        const BOOL broadcast = target == LIMITED_BROADCAST ? TRUE : FALSE;
        ::setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast), sizeof broadcast);
        const sockaddr_in to = Endpoint(target, BOARD_PORT);
        return ::sendto(s, reinterpret_cast<const char*>(data), length, 0, reinterpret_cast<const sockaddr*>(&to),
                   sizeof to) == length;
    }

    void Wait(std::uint64_t timeoutMs, std::vector<Datagram>& received) override
    {
        fd_set readable;
        FD_ZERO(&readable);
        for (std::size_t i = 0; i < m_sockets.size() && i < FD_SETSIZE; ++i)
            FD_SET(m_sockets[i], &readable);
        const std::uint64_t capped = timeoutMs > 86400000u ? 86400000u : timeoutMs;
        timeval timeout{static_cast<long>(capped / 1000), static_cast<long>(capped % 1000 * 1000)};
        if (::select(0, &readable, nullptr, nullptr, &timeout) <= 0)
            return;
        for (SOCKET s : m_sockets) {
            if (FD_ISSET(s, &readable))
                Drain(s, received);
        }
    }

private:
    void Add(const AdapterAddress& adapter)
    {
        const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        if (s == INVALID_SOCKET)
            return;
        const sockaddr_in local = Endpoint(ParseIPv4(adapter.m_strAddress), 0);
        int bytes = RECEIVE_BUFFER_BYTES;
        ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
        u_long nonBlocking = 1;
        if (::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0
            || ::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
            ::closesocket(s);
            return;
        }
        m_sockets.push_back(s);
        m_adapters.push_back(adapter);
    }

    static void Drain(SOCKET s, std::vector<Datagram>& received)
    {
        char buffer[REPLY_BUFFER_SIZE];
        for (;;) {
            sockaddr_in from{};
            int fromLength = sizeof from;
            const int n = ::recvfrom(s, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n == SOCKET_ERROR) {
                // Too long for a reply (dropped), or an ICMP "port unreachable"
                // for an earlier send: neither ends the socket's queue.
                const int error = ::WSAGetLastError();
                if (error == WSAEMSGSIZE || error == WSAECONNRESET)
                    continue;
                return;
            }
            if (n > 0) {
                const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer);
                received.push_back(Datagram{FormatAddress(ntohl(from.sin_addr.s_addr)), std::vector<std::uint8_t>(bytes, bytes + n)});
            }
        }
    }

    std::vector<AdapterAddress> m_adapters;
    std::vector<SOCKET> m_sockets;
    bool m_bStarted = false;
};

std::atomic<bool> g_interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    g_interrupted = true;
    return TRUE;
}

// FILE_APPEND_DATA alone makes every WriteFile land at the end of the file in
// one piece, so a line written in one call is never split by another's.
class WinRecordFile : public IRecordFile {
public:
    explicit WinRecordFile(HANDLE file) : m_file(file) {}
    WinRecordFile(const WinRecordFile&) = delete;
    WinRecordFile& operator=(const WinRecordFile&) = delete;
    ~WinRecordFile() override { ::CloseHandle(m_file); }

    bool Append(const std::string& line, std::wstring& error) override
    {
        DWORD written = 0;
        if (::WriteFile(m_file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)
            && written == line.size())
            return true;
        error = L"write failed (error " + std::to_wstring(::GetLastError()) + L")";
        return false;
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

    std::unique_ptr<std::ostream> OpenLog(const std::wstring& path, std::wstring& error) override
    {
        auto file = std::make_unique<std::ofstream>(std::filesystem::path(path), std::ios::out | std::ios::app);
        if (!file->is_open()) {
            error = ErrnoText(errno);
            return nullptr;
        }
        return file;
    }

    std::unique_ptr<IRecordFile> OpenRecord(const std::wstring& path, std::wstring& error) override
    {
        const HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD code = ::GetLastError();
            error = code == ERROR_ACCESS_DENIED ? L"Permission denied"
                : code == ERROR_PATH_NOT_FOUND  ? L"No such file or directory"
                                                : L"cannot open it (error " + std::to_wstring(code) + L")";
            return nullptr;
        }
        return std::make_unique<WinRecordFile>(file);
    }

    void CatchInterrupt() override { ::SetConsoleCtrlHandler(OnConsoleControl, TRUE); }
    bool Interrupted() override { return g_interrupted; }

    std::ostream& Out() override { return std::cout; }
    std::ostream& Err() override { return std::cerr; }

    bool ErrIsTerminal() override
    {
        // Bars need a console that understands cursor movements.
        const HANDLE handle = ::GetStdHandle(STD_ERROR_HANDLE);
        DWORD mode = 0;
        return ::GetConsoleMode(handle, &mode) && ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::wstring> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    WinPlatform platform;
    SystemClock clock;
    CliApp app(platform, clock);
    return app.Run(args);
}
