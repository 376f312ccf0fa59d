#include "cli/link/EventLoop.h"

#include <algorithm>

#include "net/BoardPacket.h"

EventLoop::EventLoop(IClock& clock, INetwork& network)
    : m_clock(clock), m_network(network)
{
}

void EventLoop::Post(Task task)
{
    m_posted.push_back(std::move(task));
}

void EventLoop::StartTimer(int id, std::uint64_t deadline, Task onExpiry)
{
    m_timers[id] = Timer{deadline, std::move(onExpiry)};
}

void EventLoop::StopTimer(int id)
{
    m_timers.erase(id);
}

void EventLoop::Run(const std::function<bool()>& finished, std::uint64_t deadline)
{
    while (!finished() && !Stopped() && Now() < deadline) {
        if (!m_posted.empty()) {
            // Replies that came in meanwhile are read before the next round of
            // tasks, so one busy board cannot hold back another's answers. With
            // no task left the wait below reads them first anyway: one look at
            // the sockets per reply, not two (under Wine each is a server trip).
            RunPosted();
            if (!m_posted.empty())
                Receive(0);
            FireTimers();
            continue;
        }
        const std::uint64_t wake = NextWake(deadline);
        if (wake == NO_DEADLINE)
            return;
        const std::uint64_t now = Now();
        Receive(wake > now ? wake - now : 0);
        FireTimers();
    }
}

void EventLoop::RunPosted()
{
    // Only what was queued before this round: a task posted now runs after
    // the replies that are already waiting, as a posted window message does.
    for (std::size_t n = m_posted.size(); n > 0 && !m_posted.empty(); --n) {
        Task task = std::move(m_posted.front());
        m_posted.pop_front();
        task();
    }
}

void EventLoop::Receive(std::uint64_t timeoutMs)
{
    m_received.clear();
    m_network.Wait(timeoutMs, m_received);
    for (const Datagram& d : m_received) {
        BoardReply reply;
        if (m_onReply && ReadBoardReply(d.m_bytes.data(), d.m_bytes.size(), reply))
            m_onReply(reply, d.m_strSender);
    }
}

void EventLoop::FireTimers()
{
    // Earliest first; a timer's task may start or stop any timer, so the map
    // is searched afresh after each one.
    for (;;) {
        const std::uint64_t now = Now();
        auto due = m_timers.end();
        for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
            if (it->second.deadline <= now && (due == m_timers.end() || it->second.deadline < due->second.deadline))
                due = it;
        }
        if (due == m_timers.end())
            return;
        Task onExpiry = std::move(due->second.onExpiry);
        m_timers.erase(due);
        onExpiry();
    }
}

std::uint64_t EventLoop::NextWake(std::uint64_t deadline) const
{
    std::uint64_t wake = deadline;
    for (const auto& entry : m_timers)
        wake = std::min(wake, entry.second.deadline);
    return wake;
}
