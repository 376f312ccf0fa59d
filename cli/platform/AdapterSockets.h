#pragma once

// Where the two systems' sockets differ. ReadGoesOn: after a failed read,
// whether the socket may still hold datagrams to read.
#ifdef _WIN32
#include <winsock2.h>
using Socket = SOCKET;
using SocketLength = int;
inline void CloseSocket(Socket s) { ::closesocket(s); }
inline bool ReadGoesOn()
{
    // Too long for a reply (dropped), or an ICMP "port unreachable" for an
    // earlier send: neither ends the socket's queue.
    const int error = ::WSAGetLastError();
    return error == WSAEMSGSIZE || error == WSAECONNRESET;
}
#else
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
using Socket = int;
using SocketLength = socklen_t;
inline void CloseSocket(Socket s) { ::close(s); }
inline bool ReadGoesOn() { return errno == EINTR; }
#endif

#include "cli/platform/INetwork.h"
#include "net/BroadcastSwitch.h"

// What both systems' networks keep alike: one datagram socket per adapter
// address, bound to it, the sends from it and the reads. Each system's
// network lists the adapters and waits for replies in its own way.
class AdapterSockets : public INetwork {
public:
    AdapterSockets() = default;
    AdapterSockets(const AdapterSockets&) = delete;
    AdapterSockets& operator=(const AdapterSockets&) = delete;
    ~AdapterSockets() override { Close(); }

    const std::vector<AdapterAddress>& Adapters() const override { return m_adapters; }
    bool SendFrom(std::size_t adapter, std::uint32_t target, const std::uint8_t* data, int length) override;

protected:
    // A socket for the adapter, bound to its address on a free port so the
    // boards answer to it; left out when it cannot be opened or prepared.
    void Add(const AdapterAddress& adapter);
    // Readies a bound socket for the system's wait.
    virtual bool ReadyForWait(Socket s) = 0;
    // One datagram, or with `all` every one waiting.
    static void Read(Socket s, std::vector<Datagram>& received, bool all);
    void Close(); // every socket

    std::vector<Socket> m_sockets;

private:
    std::vector<AdapterAddress> m_adapters;
    std::vector<BroadcastSwitch> m_broadcast; // per socket
};
