#include "cli/FlashBatch.h"

#include <algorithm>

#include "cli/EventLoop.h"

FlashBatch::FlashBatch(EventLoop& loop, BoardLink& link, IFlashObserver& observer,
    const std::vector<std::uint8_t>& image)
    : m_loop(loop), m_link(link), m_observer(observer), m_image(image)
{
}

std::vector<DownloadEnd> FlashBatch::Run(const FlashJob& job)
{
    const std::size_t boards = job.m_addresses.size();
    const std::size_t lanes = std::min(boards, static_cast<std::size_t>(std::max(job.m_nParallel, 1)));
    m_ends.assign(boards, DownloadEnd{});
    m_slots.clear();
    m_slotOf.clear();
    m_loop.SetReplyHandler([this](const BoardReply& reply, const std::wstring& sender) { OnReply(reply, sender); });

    IFlashObserver& self = *this;
    for (std::size_t lane = 0; lane < lanes; ++lane) {
        std::vector<int> indexes;
        std::vector<std::wstring> addresses;
        for (std::size_t i = lane; i < boards; i += lanes) {
            indexes.push_back(static_cast<int>(i));
            addresses.push_back(job.m_addresses[i]);
        }
        m_slots.push_back(std::make_unique<BoardSlot>(static_cast<int>(lane), m_loop, m_link, self, m_image));
        BoardSlot& slot = *m_slots.back();
        for (const std::wstring& address : addresses)
            m_slotOf[address] = &slot;
        if (!slot.Start(job.m_strPath, job.m_strAnsiName, indexes, addresses)) {
            for (int index : indexes)
                OnBoardFinished(index, DownloadEnd{BoardOutcome::FileError, OP_FILENAME, 0});
        }
    }
    m_loop.Run([this] { return !AnyRunning(); });
    m_loop.SetReplyHandler(nullptr);
    return m_ends;
}

void FlashBatch::OnReply(const BoardReply& reply, const std::wstring& sender)
{
    if (reply.opcode == OP_DISCOVER && m_onDiscovery) {
        m_onDiscovery(reply, sender);
        return;
    }
    const auto it = m_slotOf.find(sender);
    if (it != m_slotOf.end())
        it->second->OnAck(reply, sender);
}

bool FlashBatch::AnyRunning() const
{
    return std::any_of(m_slots.begin(), m_slots.end(), [](const auto& slot) { return slot->IsRunning(); });
}

void FlashBatch::OnStatusLine(const std::wstring& line)
{
    m_observer.OnStatusLine(line);
}

void FlashBatch::OnBoardStarted(int board)
{
    m_observer.OnBoardStarted(board);
}

void FlashBatch::OnBoardProgress(int board, int percent)
{
    m_observer.OnBoardProgress(board, percent);
}

void FlashBatch::OnBoardRetransmission(int board)
{
    m_observer.OnBoardRetransmission(board);
}

void FlashBatch::OnBoardFinished(int board, const DownloadEnd& end)
{
    m_ends[static_cast<std::size_t>(board)] = end;
    m_observer.OnBoardFinished(board, end);
}
