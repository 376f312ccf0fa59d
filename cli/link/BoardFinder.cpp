#include "cli/link/BoardFinder.h"

#include "cli/link/BoardLink.h"
#include "cli/link/EventLoop.h"
#include "cli/report/OutputText.h"
#include "net/BoardPacket.h"

BoardFinder::BoardFinder(EventLoop& loop, BoardLink& link)
    : m_loop(loop), m_link(link)
{
}

void BoardFinder::Run(const std::vector<std::wstring>& targets, std::uint64_t waitMs)
{
    m_targets = targets;
    m_boards.clear();
    m_boardAt.clear();
    m_waitingFor = std::unordered_set<std::wstring>(targets.begin(), targets.end());
    m_unanswered.clear();
    m_loop.SetReplyHandler([this](const BoardReply& reply, const std::wstring& sender) { OnReply(reply, sender); });
    const std::uint64_t deadline = m_loop.Now() + waitMs;
    if (m_targets.empty())
        m_link.BroadcastDiscovery();
    for (const std::wstring& target : m_targets)
        m_link.SendDiscovery(target);
    // Until every target answered: a broadcast has no end but the wait.
    m_loop.Run([this] { return !m_targets.empty() && m_waitingFor.empty(); }, deadline);
    for (const std::wstring& target : m_targets) {
        if (Find(target) == nullptr)
            m_unanswered.push_back(target);
    }
    m_loop.SetReplyHandler(nullptr);
}

void BoardFinder::OnReply(const BoardReply& reply, const std::wstring& sender)
{
    // A board on a subnet that two adapters share answers each broadcast twice.
    if (reply.opcode != OP_DISCOVER || Find(sender) != nullptr)
        return;
    // Names and MACs are kept byte for byte (whatever the workstation's code
    // page), and decoded from the boards' code page when they are shown.
    m_boardAt.emplace(sender, m_boards.size());
    m_boards.push_back(BoardList{BytesAsText(reply.name), sender, BytesAsText(reply.mac)});
    m_waitingFor.erase(sender);
}

const BoardList* BoardFinder::Find(const std::wstring& ip) const
{
    const auto it = m_boardAt.find(ip);
    return it == m_boardAt.end() ? nullptr : &m_boards[it->second];
}
