#include "cli/lanes/Watch.h"

#include <algorithm>

#include "cli/link/BoardLink.h"
#include "cli/link/EventLoop.h"
#include "download/FirmwareKind.h"
#include "net/BoardPacket.h"

Watch::Watch(EventLoop& loop, BoardLink& link, IClock& clock, IFlashObserver& progress, std::vector<StationBoard>& boards,
    const Firmware& firmware, const WatchJob& job, StationTracker::Complete done, Warn warn)
    : m_loop(loop),
      m_link(link),
      m_boards(boards),
      m_firmware(firmware),
      m_job(job),
      m_warn(std::move(warn)),
      m_book(job.m_rules, [this](const std::wstring& ip) { return Busy(ip); }),
      m_tracker(clock, loop, link, job.m_nVerifyReturnMs, progress, boards, std::move(done),
          job.m_rules.m_bRequireConfirmed)
{
    IFlashObserver& observer = m_tracker;
    for (int lane = 0; lane < job.m_nParallel; ++lane)
        m_slots.push_back(std::make_unique<BoardSlot>(lane, loop, link, observer, firmware.m_image));
    m_laneAddress.resize(m_slots.size());
}

void Watch::Run(const std::function<bool()>& interrupted)
{
    m_loop.SetReplyHandler([this](const BoardReply& reply, const std::wstring& sender) { OnReply(reply, sender); });
    Ask();
    Poll();
    // Lanes free up when a sequencer handles its last posted step, which no
    // callback announces: queued boards are started whenever the loop looks.
    m_loop.Run([&] {
        StartQueued();
        return interrupted();
    });
    Interrupt();
    m_loop.StopTimer(WATCH_DISCOVERY_TIMER_ID);
    m_loop.StopTimer(WATCH_INTERRUPT_TIMER_ID);
    m_loop.SetReplyHandler(nullptr);
}

void Watch::Poll()
{
    // A timer of its own, so that Ctrl-C is noticed soon where a signal does not cut the wait short.
    m_loop.StartTimer(WATCH_INTERRUPT_TIMER_ID, m_loop.Now() + WATCH_INTERRUPT_POLL_MS, [this] { Poll(); });
}

void Watch::Ask()
{
    // Each broadcast starts a round of discovery: what was held in the last one is decided now.
    for (const auto& [board, sighting] : m_book.EndRound())
        OnSighting(board, sighting);
    Warnings();
    m_link.BroadcastDiscovery();
    m_loop.StartTimer(WATCH_DISCOVERY_TIMER_ID, m_loop.Now() + m_job.m_nIntervalMs, [this] { Ask(); });
}

void Watch::OnReply(const BoardReply& reply, const std::wstring& sender)
{
    if (reply.opcode == OP_DISCOVER) {
        if (m_tracker.Check() && m_tracker.Check()->OnReply(reply, sender))
            return;
        const BoardList board = MakeBoardList(reply, sender);
        OnSighting(board, m_book.See(board));
        Warnings();
        return;
    }
    const auto it = m_slotOf.find(sender);
    if (it != m_slotOf.end())
        it->second->OnAck(reply, sender);
}

int Watch::Add(const BoardList& board)
{
    StationBoard b;
    b.m_result.m_board = board;
    m_boards.push_back(b);
    return static_cast<int>(m_boards.size()) - 1;
}

void Watch::Warnings()
{
    for (const std::wstring& warning : m_book.TakeWarnings()) {
        if (m_warn)
            m_warn(warning);
    }
}

bool Watch::Busy(const std::wstring& ip) const
{
    for (std::size_t lane = 0; lane < m_slots.size(); ++lane) {
        if (m_slots[lane]->IsRunning() && m_laneAddress[lane] == ip)
            return true;
    }
    return std::any_of(m_queue.begin(), m_queue.end(),
        [&](int board) { return m_boards[static_cast<std::size_t>(board)].m_result.m_board.m_strIP == ip; });
}

void Watch::OnSighting(const BoardList& board, Sighting sighting)
{
    switch (sighting) {
    case Sighting::Known:
    case Sighting::Held: return;
    case Sighting::Flash: m_queue.push_back(Add(board)); return;
    case Sighting::OtherKind:
    case Sighting::ServedBefore: break;
    }
    const int index = Add(board);
    StationBoard& b = m_boards[static_cast<std::size_t>(index)];
    b.m_result.m_kind = ResultKind::Skipped;
    b.m_result.m_strLabel = m_firmware.m_pKind->m_pszLabel;
    b.m_bServedBefore = sighting == Sighting::ServedBefore;
    m_tracker.Close(index);
}

void Watch::StartQueued()
{
    for (std::size_t lane = 0; lane < m_slots.size(); ++lane) {
        BoardSlot& slot = *m_slots[lane];
        if (m_queue.empty())
            return;
        if (slot.IsRunning())
            continue;
        const int board = m_queue.front();
        m_queue.pop_front();
        const std::wstring& ip = m_boards[static_cast<std::size_t>(board)].m_result.m_board.m_strIP;
        m_slotOf[ip] = &slot;
        m_laneAddress[lane] = ip;
        // The run's first download says that downloading starts; the rest are more of the same.
        slot.Start(m_job.m_strPath, m_firmware.m_strAnsiName, {board}, {ip}, !m_bAnnounced);
        m_bAnnounced = true;
    }
}

void Watch::Interrupt()
{
    // Boards mid-download first (where they are), then those waiting for
    // their return, then whatever is left: every board is reported.
    for (const auto& slot : m_slots) {
        int board = -1;
        DownloadEnd at;
        if (slot->Where(board, at) && !m_boards[static_cast<std::size_t>(board)].m_bComplete)
            m_tracker.Interrupt(board, at);
    }
    if (m_tracker.Check())
        m_tracker.Check()->Interrupt();
    for (std::size_t i = 0; i < m_boards.size(); ++i) {
        if (!m_boards[i].m_bComplete)
            m_tracker.Interrupt(static_cast<int>(i), DownloadEnd{});
    }
    m_queue.clear();
}
