#include "cli/platform/AdapterSockets.h"

#include "net/BoardPacket.h"
#include "net/IPv4.h"

namespace {

constexpr Socket NO_SOCKET = static_cast<Socket>(-1); // INVALID_SOCKET on Windows

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

} // namespace

bool AdapterSockets::SendFrom(std::size_t adapter, std::uint32_t target, const std::uint8_t* data, int length)
{
    const Socket s = m_sockets[adapter];
    m_broadcast[adapter].Use(target == LIMITED_BROADCAST, [s](bool on) {
        const int option = on ? 1 : 0;
        return ::setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&option), sizeof option) == 0;
    });
    const sockaddr_in to = Endpoint(target, BOARD_PORT);
    return ::sendto(s, reinterpret_cast<const char*>(data), length, 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to) == length;
}

void AdapterSockets::Add(const AdapterAddress& adapter)
{
    const Socket s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == NO_SOCKET)
        return;
    const sockaddr_in local = Endpoint(ParseIPv4(adapter.m_strAddress), 0);
    int bytes = RECEIVE_BUFFER_BYTES;
    ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 || !ReadyForWait(s)) {
        CloseSocket(s);
        return;
    }
    m_sockets.push_back(s);
    m_broadcast.emplace_back();
    m_adapters.push_back(adapter);
}

void AdapterSockets::Read(Socket s, std::vector<Datagram>& received, bool all)
{
    // A byte more than a reply may have, so that a longer datagram shows as one.
    std::uint8_t buffer[REPLY_BUFFER_SIZE + 1];
    for (;;) {
        sockaddr_in from{};
        SocketLength fromLength = sizeof from;
        const auto n = ::recvfrom(s, reinterpret_cast<char*>(buffer), sizeof buffer, 0,
            reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0 && ReadGoesOn())
            continue;
        if (n < 0)
            return;
        // Empty datagrams and ones longer than a reply may be are dropped.
        if (n > 0 && n <= REPLY_BUFFER_SIZE)
            received.push_back(
                Datagram{FormatAddress(ntohl(from.sin_addr.s_addr)), std::vector<std::uint8_t>(buffer, buffer + n)});
        if (!all)
            return;
    }
}

void AdapterSockets::Close()
{
    for (Socket s : m_sockets)
        CloseSocket(s);
    m_sockets.clear();
}
