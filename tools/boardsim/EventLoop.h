// The network side of the simulator: a socket per board, one shared listener for broadcasts, epoll, and the
// replies that are held back.
#pragma once

#include "Simulator.h"
#include "Traffic.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <queue>
#include <string>
#include <vector>

namespace boardsim {

class RequestLog;

class EventLoop {
public:
    EventLoop(Simulator& sim, RequestLog* log);
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // Binds every board's address at port, then the listener at listenAddr (empty: no listener).
    bool Open(std::uint16_t port, const std::string& listenAddr, std::string& error);
    // Serves until RequestStop or, when given, until stopAfter has passed since the start.
    void Run(Micros stopAfter = kNever);
    // Both may be called from a signal handler or another thread.
    void RequestStop();
    void RequestSnapshot();
    void OnSnapshot(std::function<void()> handler) { m_snapshotHandler = std::move(handler); }

    Micros Now() const;
    std::size_t PendingReplies() const { return m_pending.size(); }

private:
    struct Pending {
        Outgoing reply;
        std::uint64_t order = 0;
        bool operator<(const Pending& other) const
        {
            return reply.due != other.reply.due ? reply.due > other.reply.due : order > other.order;
        }
    };

    int OpenSocket(std::uint32_t addr, std::uint16_t port, std::string& error);
    void ReadSocket(std::size_t slot);
    void Dispatch(std::vector<Outgoing>& replies);
    void Send(const Outgoing& reply);
    void SendDue();

    Simulator& m_sim;
    RequestLog* m_log;
    std::chrono::steady_clock::time_point m_start;
    int m_epoll = -1;
    int m_wake = -1;
    int m_listener = -1;
    std::vector<int> m_boardFds;
    std::vector<int> m_replyFds;  // per board: the socket its replies leave from (its own, or one on reply-port)
    std::priority_queue<Pending> m_pending;
    std::uint64_t m_order = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_snapshot{false};
    std::function<void()> m_snapshotHandler;
    std::vector<std::uint8_t> m_buffer;
    std::vector<Outgoing> m_replies;
};

}  // namespace boardsim
