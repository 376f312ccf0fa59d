#include "cli/lanes/FlashBatch.h"

#include <algorithm>

#include "cli/link/EventLoop.h"
#include "net/BoardPacket.h"

FlashBatch::FlashBatch(EventLoop& loop, BoardLink& link, IFlashObserver& observer,
    const std::vector<std::uint8_t>& image, BoardLocks* locks)
    : FlashRelay(observer), m_loop(loop), m_link(link), m_image(image), m_pLocks(locks)
{
}

std::vector<DownloadEnd> FlashBatch::Run(const FlashJob& job)
{
    const std::size_t boards = job.m_addresses.size();
    const std::size_t lanes = std::min(boards, static_cast<std::size_t>(std::max(job.m_nParallel, 1)));
    m_ends.assign(boards, DownloadEnd{});
    m_finished.assign(boards, false);
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
        m_slots.push_back(std::make_unique<BoardSlot>(static_cast<int>(lane), m_loop, m_link, self, m_image, m_pLocks));
        BoardSlot& slot = *m_slots.back();
        for (const std::wstring& address : addresses)
            m_slotOf[address] = &slot;
        // One download, said once: the first lane says it.
        slot.Start(job.m_strPath, job.m_strAnsiName, indexes, addresses, lane == 0);
    }
    m_loop.Run([this] { return !AnyRunning(); });
    if (AnyRunning())
        CutShort(lanes);
    m_loop.SetReplyHandler(nullptr);
    return m_ends;
}

void FlashBatch::CutShort(std::size_t lanes)
{
    // Counted as the sequencer counts: an empty image still sends block 0.
    const std::uint64_t size = m_image.size();
    const auto blocks = static_cast<std::uint32_t>(size == 0 ? 1 : (size + DATA_BLOCK_SIZE - 1) / DATA_BLOCK_SIZE);
    for (std::size_t board = 0; board < m_ends.size(); ++board) {
        if (m_finished[board])
            continue;
        const BoardSlot& slot = *m_slots[board % lanes];
        int served = -1;
        DownloadEnd at;
        const bool serving = slot.Where(served, at) && served == static_cast<int>(board);
        DownloadEnd end = serving ? at : DownloadEnd{};
        end.m_cut = serving ? DownloadCut::Interrupted : DownloadCut::NotStarted;
        end.m_nBlocks = blocks;
        OnBoardFinished(static_cast<int>(board), end);
    }
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

void FlashBatch::OnBoardFinished(int board, const DownloadEnd& end)
{
    m_ends[static_cast<std::size_t>(board)] = end;
    m_finished[static_cast<std::size_t>(board)] = true;
    m_next.OnBoardFinished(board, end);
}
