#include "EventLoop.h"

#include "LocalInterfaces.h"
#include "RequestLog.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace boardsim {

namespace {

// Large enough to measure any oversized request; MSG_TRUNC reports the real size of anything longer.
constexpr std::size_t kReceiveBuffer = 2048;
// Datagrams read from one socket per wake-up, so that a busy board cannot starve the others.
constexpr int kReadsPerWake = 64;
constexpr std::uint64_t kWakeSlot = ~std::uint64_t{0};
constexpr std::uint64_t kListenerSlot = kWakeSlot - 1;

sockaddr_in SocketAddress(std::uint32_t addr, std::uint16_t port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(addr);
    sa.sin_port = htons(port);
    return sa;
}

}  // namespace

EventLoop::EventLoop(Simulator& sim, RequestLog* log)
    : m_sim(sim), m_log(log), m_start(std::chrono::steady_clock::now()), m_buffer(kReceiveBuffer)
{
}

EventLoop::~EventLoop()
{
    for (const int fd : m_boardFds)
        ::close(fd);
    for (std::size_t i = 0; i < m_replyFds.size(); ++i)
        if (m_replyFds[i] != m_boardFds[i])
            ::close(m_replyFds[i]);
    for (const int fd : {m_listener, m_wake, m_epoll})
        if (fd >= 0)
            ::close(fd);
}

Micros EventLoop::Now() const
{
    return static_cast<Micros>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - m_start).count());
}

int EventLoop::OpenSocket(std::uint32_t addr, std::uint16_t port, std::string& error)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    // Every board shares the port with the wildcard listener; the kernel hands a unicast datagram to the socket
    // bound to its exact destination, and broadcasts to the listener.
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    const sockaddr_in sa = SocketAddress(addr, port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        error = "cannot bind " + IpText(addr) + ":" + std::to_string(port) + ": " + std::strerror(errno);
        if (errno == EADDRNOTAVAIL)
            error += " (is the address configured on an interface here?)";
        ::close(fd);
        return -1;
    }
    return fd;
}

bool EventLoop::Open(std::uint16_t port, const std::string& listenAddr, std::string& error)
{
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_epoll < 0 || m_wake < 0) {
        error = std::string("epoll/eventfd: ") + std::strerror(errno);
        return false;
    }
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = kWakeSlot;
    ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &ev);
    m_sim.SetInterfaces(LocalInterfaces::Read());
    for (std::size_t i = 0; i < m_sim.BoardCount(); ++i) {
        const int fd = OpenSocket(m_sim.BoardAt(i).Config().ip, port, error);
        if (fd < 0)
            return false;
        m_boardFds.push_back(fd);
        ev.data.u64 = i;
        ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &ev);
        // Replies from another port are only sent, never read: requests still come to the board port.
        const std::uint16_t replyPort = m_sim.BoardAt(i).Config().faults.ReplyPort();
        const int replyFd = replyPort == 0 ? fd : OpenSocket(m_sim.BoardAt(i).Config().ip, replyPort, error);
        if (replyFd < 0)
            return false;
        m_replyFds.push_back(replyFd);
    }
    // The listener comes last: once it is bound, every board is ready.
    if (!listenAddr.empty()) {
        std::uint32_t addr = 0;
        if (!ParseIp(listenAddr, addr)) {
            error = "'" + listenAddr + "' is not an IPv4 address";
            return false;
        }
        m_listener = OpenSocket(addr, port, error);
        if (m_listener < 0)
            return false;
        const int size = 1 << 20;
        ::setsockopt(m_listener, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        ev.data.u64 = kListenerSlot;
        ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_listener, &ev);
    }
    return true;
}

void EventLoop::RequestStop()
{
    m_stop = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(m_wake, &one, sizeof one);
}

void EventLoop::RequestSnapshot()
{
    m_snapshot = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(m_wake, &one, sizeof one);
}

void EventLoop::Run(Micros stopAfter)
{
    constexpr int kEvents = 256;
    epoll_event events[kEvents];
    while (!m_stop) {
        SendDue();
        const Micros now = Now();
        if (now >= stopAfter)
            break;
        Micros until = stopAfter;
        if (!m_pending.empty())
            until = std::min(until, m_pending.top().reply.due);
        // To the microsecond: with many boards answering late, a wait rounded
        // up to the millisecond would make every held-back reply later still.
        timespec timeout{};
        const Micros wait = until == kNever || until <= now ? 0 : std::min<Micros>(until - now, Micros{1000000000});
        timeout.tv_sec = static_cast<time_t>(wait / 1000000);
        timeout.tv_nsec = static_cast<long>(wait % 1000000) * 1000;
        int n = ::epoll_pwait2(m_epoll, events, kEvents, until == kNever ? nullptr : &timeout, nullptr);
        if (n < 0 && errno == ENOSYS) {
            const int ms = until == kNever ? -1 : static_cast<int>((wait + 999) / 1000);
            n = ::epoll_wait(m_epoll, events, kEvents, ms);
        }
        for (int i = 0; i < n; ++i) {
            const std::uint64_t slot = events[i].data.u64;
            if (slot == kWakeSlot) {
                std::uint64_t value = 0;
                [[maybe_unused]] const auto got = ::read(m_wake, &value, sizeof value);
            } else {
                ReadSocket(static_cast<std::size_t>(slot));
            }
        }
        if (m_snapshot.exchange(false) && m_snapshotHandler)
            m_snapshotHandler();
        if (m_log != nullptr)
            m_log->Flush();
    }
    if (m_log != nullptr && !m_pending.empty())
        m_log->Note(Now(), Format("stopping with %zu held-back replies unsent", m_pending.size()));
}

void EventLoop::ReadSocket(std::size_t slot)
{
    const bool listener = slot == static_cast<std::size_t>(kListenerSlot);
    const int fd = listener ? m_listener : m_boardFds[slot];
    for (int reads = 0; reads < kReadsPerWake; ++reads) {
        sockaddr_in from{};
        iovec iov{m_buffer.data(), m_buffer.size()};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t got = ::recvmsg(fd, &msg, MSG_DONTWAIT | MSG_TRUNC);
        if (got < 0) {
            if (errno == EINTR || errno == ECONNREFUSED)
                continue;
            return;
        }
        Datagram d;
        d.data = m_buffer.data();
        d.size = static_cast<std::size_t>(got);
        d.captured = std::min(d.size, m_buffer.size());
        d.from = {ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)};
        d.now = Now();
        int ifindex = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                d.dst = ntohl(info.ipi_addr.s_addr);
                ifindex = info.ipi_ifindex;
            }
        }
        m_replies.clear();
        if (listener) {
            d.broadcast = m_sim.IsBroadcast(d.dst);
            m_sim.FromListener(d, ifindex, m_replies);
        } else {
            m_sim.FromBoardSocket(slot, d, m_replies);
        }
        Dispatch(m_replies);
    }
}

void EventLoop::Dispatch(std::vector<Outgoing>& replies)
{
    const Micros now = Now();
    for (auto& reply : replies) {
        if (reply.due <= now)
            Send(reply);
        else
            m_pending.push({std::move(reply), m_order++});
    }
}

void EventLoop::SendDue()
{
    while (!m_pending.empty() && m_pending.top().reply.due <= Now()) {
        const Outgoing& reply = m_pending.top().reply;
        Send(reply);
        if (m_log != nullptr)
            m_log->HeldBackReply(m_sim.BoardAt(reply.board), reply, Now());
        m_pending.pop();
    }
}

void EventLoop::Send(const Outgoing& reply)
{
    const sockaddr_in to = SocketAddress(reply.to.addr, reply.to.port);
    // A reply that cannot leave is lost like one lost on the wire; the workstation's time-out covers both.
    [[maybe_unused]] const auto sent = ::sendto(m_replyFds[reply.board], reply.bytes.data(), reply.bytes.size(), 0,
                                                reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

}  // namespace boardsim
