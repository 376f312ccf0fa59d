#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "discovery/DiscoveryText.h"

class BoardLink;
class EventLoop;
struct BoardReply;

// Discovery: a broadcast from every adapter, or one request per address;
// every reply is a board, listed once per address in the order they came.
class BoardFinder {
public:
    BoardFinder(EventLoop& loop, BoardLink& link);

    // Broadcasts when `targets` is empty; waits `waitMs`, or less once every target answered.
    void Run(const std::vector<std::wstring>& targets, std::uint64_t waitMs);
    void OnReply(const BoardReply& reply, const std::wstring& sender);
    const std::vector<BoardList>& Boards() const { return m_boards; }
    const BoardList* Find(const std::wstring& ip) const;
    // Targets that had not answered when the wait ended, in the order given.
    const std::vector<std::wstring>& Unanswered() const { return m_unanswered; }

private:
    EventLoop& m_loop;
    BoardLink& m_link;
    std::vector<std::wstring> m_targets;
    std::vector<BoardList> m_boards;
    // Thousands of boards answer in a burst, and the loop asks after each
    // reply whether all have answered: both are looked up, not searched for.
    std::unordered_map<std::wstring, std::size_t> m_boardAt; // address to its place in m_boards
    std::unordered_set<std::wstring> m_waitingFor;           // targets not yet answered
    std::vector<std::wstring> m_unanswered;
};
