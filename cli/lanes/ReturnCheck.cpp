#include "cli/lanes/ReturnCheck.h"

#include <algorithm>

#include "cli/link/BoardLink.h"
#include "cli/link/EventLoop.h"
#include "discovery/DiscoveryText.h"
#include "net/BoardPacket.h"

ReturnCheck::ReturnCheck(EventLoop& loop, BoardLink& link, std::uint64_t limitMs, Done done)
    : m_loop(loop), m_link(link), m_nLimitMs(limitMs), m_done(std::move(done))
{
}

void ReturnCheck::Start(int board, const std::wstring& ip)
{
    // The first question waits a moment: a board that has only just
    // acknowledged has hardly begun to restart.
    const std::uint64_t now = m_loop.Now();
    m_checks.push_back(Check{board, ip, now, now + RETURN_ASK_MS});
    Schedule();
}

bool ReturnCheck::OnReply(const BoardReply& reply, const std::wstring& sender)
{
    if (reply.opcode != OP_DISCOVER)
        return false;
    const auto it = std::find_if(m_checks.begin(), m_checks.end(), [&](const Check& c) { return c.ip == sender; });
    if (it == m_checks.end())
        return false;
    Finish(static_cast<std::size_t>(it - m_checks.begin()),
        ReturnOutcome{ReturnOutcome::State::Back, m_loop.Now() - it->since, MakeBoardList(reply, sender).m_strName});
    return true;
}

void ReturnCheck::Interrupt()
{
    const std::uint64_t now = m_loop.Now();
    while (!m_checks.empty())
        Finish(0, ReturnOutcome{ReturnOutcome::State::Interrupted, now - m_checks.front().since, {}});
}

void ReturnCheck::Tick()
{
    const std::uint64_t now = m_loop.Now();
    for (std::size_t i = 0; i < m_checks.size();) {
        Check& c = m_checks[i];
        if (now - c.since >= m_nLimitMs) {
            Finish(i, ReturnOutcome{ReturnOutcome::State::NotBack, m_nLimitMs, {}});
            continue;
        }
        if (now >= c.askAt) {
            m_link.SendDiscovery(c.ip);
            c.askAt = now + RETURN_ASK_MS;
        }
        ++i;
    }
    Schedule();
}

void ReturnCheck::Schedule()
{
    if (m_checks.empty()) {
        m_loop.StopTimer(RETURN_TIMER_ID);
        return;
    }
    std::uint64_t wake = EventLoop::NO_DEADLINE;
    for (const Check& c : m_checks)
        wake = std::min({wake, c.askAt, c.since + m_nLimitMs});
    m_loop.StartTimer(RETURN_TIMER_ID, wake, [this] { Tick(); });
}

void ReturnCheck::Finish(std::size_t index, const ReturnOutcome& outcome)
{
    const int board = m_checks[index].board;
    m_checks.erase(m_checks.begin() + static_cast<std::ptrdiff_t>(index));
    Schedule();
    m_done(board, outcome);
}
