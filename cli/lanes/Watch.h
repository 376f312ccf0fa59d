#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/lanes/BoardSlot.h"
#include "cli/lanes/StationTracker.h"
#include "cli/lanes/WatchBook.h"
#include "cli/report/RecordFile.h"
#include "cli/report/StationBoard.h"
#include "discovery/DiscoveryText.h"

class BoardLink;
class EventLoop;
class IClock;

struct WatchJob {
    std::wstring m_strPath;
    WatchRules m_rules; // which boards are served: the file's name, the image's hash, the record
    int m_nParallel = 1;
    std::uint64_t m_nIntervalMs = 2000;
    std::uint64_t m_nVerifyReturnMs = 0; // 0: no return check
};

constexpr int WATCH_DISCOVERY_TIMER_ID = 1001;
constexpr int WATCH_INTERRUPT_TIMER_ID = 1002;
constexpr std::uint64_t WATCH_INTERRUPT_POLL_MS = 100;

// A station that flashes boards as they are plugged in: it keeps asking for
// boards, serves each new one of the file's kind on the next free lane and
// reports every board once, as it is done with it.
class Watch {
public:
    using Warn = std::function<void(const std::wstring& message)>;

    // `boards` grows by one entry per board heard, as `progress` indexes them.
    Watch(EventLoop& loop, BoardLink& link, IClock& clock, IFlashObserver& progress, std::vector<StationBoard>& boards,
        const Firmware& firmware, const WatchJob& job, StationTracker::Complete done, Warn warn = nullptr);
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    // Until `interrupted` holds; then every board still going is ended and reported.
    void Run(const std::function<bool()>& interrupted);

private:
    void OnReply(const BoardReply& reply, const std::wstring& sender);
    void OnSighting(const BoardList& board, Sighting sighting);
    void Warnings();
    bool Busy(const std::wstring& ip) const;
    void Ask();
    void Poll();
    void StartQueued();
    void Interrupt();
    int Add(const BoardList& board);

    EventLoop& m_loop;
    BoardLink& m_link;
    std::vector<StationBoard>& m_boards;
    const Firmware& m_firmware;
    const WatchJob& m_job;
    Warn m_warn;
    WatchBook m_book;
    StationTracker m_tracker;
    std::vector<std::unique_ptr<BoardSlot>> m_slots;
    std::map<std::wstring, BoardSlot*> m_slotOf;
    std::vector<std::wstring> m_laneAddress; // per lane: the board it serves or served last
    std::deque<int> m_queue;
    bool m_bAnnounced = false;
};
