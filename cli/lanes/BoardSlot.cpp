#include "cli/lanes/BoardSlot.h"

#include "cli/link/BoardLink.h"
#include "cli/link/EventLoop.h"
#include "cli/report/OutputText.h"
#include "download/BoardLocks.h"
#include "download/StatusLines.h"

BoardSlot::BoardSlot(int id, EventLoop& loop, BoardLink& link, IFlashObserver& observer,
    const std::vector<std::uint8_t>& image, BoardLocks* locks)
    : m_nId(id), m_loop(loop), m_link(link), m_observer(observer), m_pLocks(locks), m_file(image),
      m_sequencer(*this, m_file)
{
}

void BoardSlot::Start(const std::wstring& path, const std::string& ansiName, const std::vector<int>& boards,
    const std::vector<std::wstring>& addresses, bool announce)
{
    m_boards = boards;
    m_nResendDue = -1;
    m_bAnnounce = announce;
    if (m_sequencer.Start(path, ansiName, addresses))
        return;
    // The file cannot be sent: each board ends before its first request.
    for (int board : boards)
        m_observer.OnBoardFinished(board, DownloadEnd{BoardOutcome::FileError, OP_FILENAME, 0});
}

bool BoardSlot::Where(int& board, DownloadEnd& at) const
{
    std::uint8_t opcode = 0;
    std::uint32_t block = 0;
    if (!m_sequencer.Where(opcode, block))
        return false;
    board = BatchIndex(m_sequencer.Current());
    at.m_nOpcode = opcode;
    at.m_nBlock = block;
    at.m_nAcked = m_nAcked;
    at.m_nPasses = m_nPasses;
    return true;
}

std::uint64_t BoardSlot::NowMs()
{
    return m_loop.Now();
}

void BoardSlot::PostSequencerMessage(SequencerMessage message)
{
    m_loop.Post([this, message] { m_sequencer.Dispatch(message); });
}

void BoardSlot::ScheduleTick(std::uint64_t deadlineMs)
{
    if (deadlineMs == NO_DEADLINE) {
        m_loop.StopTimer(m_nId);
        return;
    }
    m_loop.StartTimer(m_nId, deadlineMs, [this] { m_sequencer.OnTick(m_loop.Now()); });
}

bool BoardSlot::SendToBoard(const std::wstring& ip, const std::uint8_t* data, int length)
{
    if (m_nResendDue >= 0) {
        m_observer.OnBoardRetransmission(BatchIndex(m_nResendDue));
        m_nResendDue = -1;
    }
    return m_link.SendToBoard(ip, data, length);
}

bool BoardSlot::TakeBoard(const std::wstring& ip)
{
    return m_pLocks == nullptr || m_pLocks->Take(ip);
}

void BoardSlot::ReleaseBoard(const std::wstring& ip)
{
    if (m_pLocks != nullptr)
        m_pLocks->Release(ip);
}

// Status lines are Unicode text, one line each: a path is decoded and its
// control characters escaped, as a board's name is in a result line.
void BoardSlot::OnDownloadStarted(const std::wstring& path)
{
    if (m_bAnnounce)
        m_observer.OnStatusLine(DownloadingLine(PathForLine(path)));
}

void BoardSlot::OnOpenFailed(const std::wstring& path)
{
    m_observer.OnStatusLine(OpenFailedLine(PathForLine(path)));
}

void BoardSlot::OnBoardStarted(int position, const std::wstring&)
{
    m_nPercent = 0;
    m_nAcked = 0;
    m_nPasses = 1;
    m_observer.OnBoardStarted(BatchIndex(position));
    m_observer.OnBoardProgress(BatchIndex(position), 0);
}

void BoardSlot::OnRetrying(int position, const std::wstring& address, std::uint8_t opcode)
{
    // Counted when the request goes out again, not when the retries run out.
    m_nResendDue = position;
    m_observer.OnStatusLine(RetryLine(opcode, address));
    m_observer.OnBoardRetrying(BatchIndex(position), opcode);
}

void BoardSlot::OnRebootSent(int position, const std::wstring& address)
{
    m_observer.OnStatusLine(RebootingLine(address));
    m_observer.OnBoardRebooting(BatchIndex(position));
}

void BoardSlot::OnBoardRestarted(int position, const std::wstring& address, std::uint32_t block)
{
    // A deadline that ran out just before is no retransmission: the next
    // request is the file name of a new pass.
    m_nResendDue = -1;
    m_nPasses = 2;
    m_nPercent = 0;
    for (const std::wstring& line : RestartLines(address))
        m_observer.OnStatusLine(line);
    m_observer.OnBoardRestarted(BatchIndex(position), block);
}

void BoardSlot::OnBlockAcked(const BlockAcked& acked)
{
    ++m_nAcked;
    if (acked.percent == m_nPercent)
        return;
    m_nPercent = acked.percent;
    m_observer.OnBoardProgress(BatchIndex(acked.board), acked.percent);
}

void BoardSlot::OnBoardFinished(const BoardEnd& end)
{
    m_nResendDue = -1;
    for (const std::wstring& line : BoardEndLines(end))
        m_observer.OnStatusLine(line);
    DownloadEnd result{end.outcome, end.opcode, end.block};
    result.m_bUnconfirmed = end.unconfirmed;
    result.m_bRebootSent = end.rebootSent;
    result.m_nAcked = end.outcome == BoardOutcome::HeldElsewhere ? 0 : m_nAcked;
    result.m_nPasses = end.outcome == BoardOutcome::HeldElsewhere ? 0 : end.passes;
    m_observer.OnBoardFinished(BatchIndex(end.board), result);
}
