// The Windows side of tarnwell-cli: Winsock sockets bound to each adapter
// address, an event for each one's replies, files, the console and the entry point.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>

#include <algorithm>
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
        for (WSAEVENT e : m_events)
            ::WSACloseEvent(e);
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
        // Each send has the option it needs, so no send depends on the one before; it is set only when it
        // changes, since under Wine every socket call is a trip to the server and a download sends thousands.
        const SOCKET s = m_sockets[adapter];
        const BOOL broadcast = target == LIMITED_BROADCAST ? TRUE : FALSE;
        if (m_broadcast[adapter] != broadcast
            && ::setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast), sizeof broadcast) == 0)
            m_broadcast[adapter] = broadcast;
        const sockaddr_in to = Endpoint(target, BOARD_PORT);
        return ::sendto(s, reinterpret_cast<const char*>(data), length, 0, reinterpret_cast<const sockaddr*>(&to),
                   sizeof to) == length;
    }

    void Wait(std::uint64_t timeoutMs, std::vector<Datagram>& received) override
    {
        // Under Wine every socket call is a trip to the server, and a download waits once a block:
        // - an event per socket, not select(), which leaves the server polling a socket it saw a
        //   datagram on until the program reads it, spinning on a core the program needs;
        // - one datagram from the socket that has one, not a read of every socket until one fails
        //   (a failed read costs as much as a good one); the next wait finds what else waits.
        // The sockets take turns at being looked at first, so that a flood on one delays no other.
        const std::size_t count = std::min<std::size_t>(m_events.size(), MAXIMUM_WAIT_OBJECTS);
        if (count == 0)
            return;
        std::vector<WSAEVENT> order(count);
        for (std::size_t k = 0; k < count; ++k)
            order[k] = m_events[(m_nNext + k) % count];
        const DWORD timeout = static_cast<DWORD>(std::min<std::uint64_t>(timeoutMs, 86400000u));
        const DWORD result = ::WaitForMultipleObjects(static_cast<DWORD>(count), order.data(), FALSE, timeout);
        if (result >= WAIT_OBJECT_0 + count)
            return;
        const std::size_t i = (m_nNext + (result - WAIT_OBJECT_0)) % count;
        m_nNext = (i + 1) % count;
        // Reset before reading: the read re-enables FD_READ, so a datagram still waiting sets it again.
        ::WSAResetEvent(m_events[i]);
        ReadOne(m_sockets[i], received);
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
        const WSAEVENT readable = ::WSACreateEvent();
        // WSAEventSelect makes the socket non-blocking as well.
        if (readable == WSA_INVALID_EVENT || ::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0
            || ::WSAEventSelect(s, readable, FD_READ) != 0) {
            if (readable != WSA_INVALID_EVENT)
                ::WSACloseEvent(readable);
            ::closesocket(s);
            return;
        }
        m_sockets.push_back(s);
        m_events.push_back(readable);
        m_adapters.push_back(adapter);
        m_broadcast.push_back(-1);
    }

    static void ReadOne(SOCKET s, std::vector<Datagram>& received)
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
            return;
        }
    }

    std::vector<AdapterAddress> m_adapters;
    std::vector<SOCKET> m_sockets;
    std::vector<BOOL> m_broadcast; // per socket: SO_BROADCAST as last set, -1 before the first send
    std::vector<WSAEVENT> m_events; // per socket: set by FD_READ
    std::size_t m_nNext = 0;         // the socket looked at first by the next wait
    bool m_bStarted = false;
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
