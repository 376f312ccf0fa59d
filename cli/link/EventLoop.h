#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cli/IClock.h"
#include "cli/platform/INetwork.h"

struct BoardReply;

// One thread and one queue, as in the window: posted tasks run in order,
// replies are read between them, timers fire once their deadline has passed.
class EventLoop {
public:
    using Task = std::function<void()>;
    using ReplyHandler = std::function<void(const BoardReply&, const std::wstring&)>;
    static constexpr std::uint64_t NO_DEADLINE = ~std::uint64_t{0};

    EventLoop(IClock& clock, INetwork& network);
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    std::uint64_t Now() { return m_clock.NowMs(); }
    void Post(Task task);
    void StartTimer(int id, std::uint64_t deadline, Task onExpiry); // restarts a running one
    void StopTimer(int id);
    void SetReplyHandler(ReplyHandler handler) { m_onReply = std::move(handler); }
    // Every Run ends as soon as `stop` holds (an interrupt), whatever is left.
    void StopWhen(std::function<bool()> stop) { m_stop = std::move(stop); }
    bool Stopped() const { return m_stop && m_stop(); }
    // Until `finished` holds, the clock reaches `deadline`, the loop is stopped,
    // or nothing is left that could wake the loop (no task, no timer, no deadline).
    void Run(const std::function<bool()>& finished, std::uint64_t deadline = NO_DEADLINE);

private:
    struct Timer {
        std::uint64_t deadline;
        Task onExpiry;
    };

    void RunPosted();
    void Receive(std::uint64_t timeoutMs);
    void FireTimers();
    std::uint64_t NextWake(std::uint64_t deadline) const;

    IClock& m_clock;
    INetwork& m_network;
    std::deque<Task> m_posted;
    std::map<int, Timer> m_timers;
    ReplyHandler m_onReply;
    std::function<bool()> m_stop;
    std::vector<Datagram> m_received;
};
