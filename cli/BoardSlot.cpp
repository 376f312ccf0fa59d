#include "cli/BoardSlot.h"

#include <algorithm>

#include "cli/BoardLink.h"
#include "cli/EventLoop.h"
#include "download/BoardLocks.h"

BoardSlot::BoardSlot(int id, EventLoop& loop, BoardLink& link, IFlashObserver& observer,
    const std::vector<std::uint8_t>& image, BoardLocks* locks)
    : m_nId(id), m_loop(loop), m_link(link), m_observer(observer), m_pLocks(locks), m_file(image),
      m_sequencer(*this, m_file)
{
}

bool BoardSlot::Start(const std::wstring& path, const std::string& ansiName, const std::vector<int>& boards,
    const std::vector<std::wstring>& addresses)
{
    m_nShown = -1;
    m_nShownBoard = -1;
    m_bResendDue = false;
    m_nLastOpcode = 0;
    return m_sequencer.Start(path, ansiName, boards, addresses);
}

void BoardSlot::PostSequencerMessage(SequencerMessage message)
{
    m_loop.Post([this, message] { Deliver(message); });
}

void BoardSlot::Deliver(SequencerMessage message)
{
    switch (message) {
    case SequencerMessage::SendFileName: m_sequencer.OnSendFileName(); break;
    case SequencerMessage::SendData: m_sequencer.OnSendData(); break;
    case SequencerMessage::SendReboot: m_sequencer.OnSendReboot(); break;
    case SequencerMessage::NextBoard: m_sequencer.OnNextBoard(); break;
    }
}

void BoardSlot::StartRetryTimer()
{
    m_loop.StartTimer(m_nId, RETRY_TIMEOUT_MS, [this] {
        m_bResendDue = true;
        m_sequencer.OnTimer();
    });
}

void BoardSlot::StopRetryTimer()
{
    m_loop.StopTimer(m_nId);
}

bool BoardSlot::SendToBoard(const std::wstring& ip, const std::uint8_t* data, int length)
{
    NoteBoard();
    if (m_bResendDue) {
        m_bResendDue = false;
        m_observer.OnBoardRetransmission(m_sequencer.Selected()[static_cast<std::size_t>(m_nShown)]);
    }
    if (length >= BOARD_HEADER_SIZE) {
        // A request's header has the layout of a reply's; the block it names
        // is what a failure at the data stage reports.
        BoardReply header;
        if (ReadBoardReply(data, static_cast<std::size_t>(length), header)) {
            m_nLastOpcode = header.opcode;
            m_nLastSequence = header.sequence;
        }
    }
    return m_link.SendToBoard(ip, data, length);
}

void BoardSlot::LogLine(const std::wstring& line)
{
    m_observer.OnStatusLine(line);
}

void BoardSlot::SetProgressPos(int position)
{
    NoteBoard();
    // The sequencer steps the window's bar past its position and back, and
    // holds 101 at 100; what counts is where it settles once the step is done.
    m_nPosition = std::clamp(position, 0, 100);
    if (!m_bReportDue) {
        m_bReportDue = true;
        m_loop.Post([this] { ReportProgress(); });
    }
}

void BoardSlot::ReportProgress()
{
    m_bReportDue = false;
    if (m_nShown >= 0 && m_nPosition != m_nPercent) {
        m_nPercent = m_nPosition;
        m_observer.OnBoardProgress(m_sequencer.Selected()[static_cast<std::size_t>(m_nShown)], m_nPercent);
    }
}

void BoardSlot::OnBoardFinished(int position, BoardOutcome outcome, std::uint8_t opcode)
{
    const std::vector<int>& boards = m_sequencer.Selected();
    if (position < 0 || static_cast<std::size_t>(position) >= boards.size())
        return;
    DownloadEnd end;
    end.m_outcome = outcome;
    end.m_nOpcode = opcode;
    end.m_nBlock = opcode == OP_DATA ? m_nLastSequence : 0;
    end.m_bUnconfirmed = outcome == BoardOutcome::Rebooted && m_sequencer.Unconfirmed();
    m_observer.OnBoardFinished(boards[static_cast<std::size_t>(position)], end);
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

void BoardSlot::NoteBoard()
{
    // A board starts with the first thing the sequencer does for it (the
    // bar's reset to 0 when it moves on), whatever that turns out to be.
    const int current = m_sequencer.Current();
    if (current == m_nShown || current < 0 || static_cast<std::size_t>(current) >= m_sequencer.Selected().size())
        return;
    m_nShown = current;
    m_nShownBoard = m_sequencer.Selected()[static_cast<std::size_t>(current)];
    m_nPercent = -1;
    m_nLastOpcode = 0;
    m_bResendDue = false; // the last board's retries ran out: what follows is the next board's first request
    m_observer.OnBoardStarted(m_nShownBoard);
}

bool BoardSlot::Where(int& board, DownloadEnd& at) const
{
    if (!m_sequencer.IsRunning() || m_nShown < 0 || m_nShown != m_sequencer.Current())
        return false;
    board = m_sequencer.Selected()[static_cast<std::size_t>(m_nShown)];
    at.m_nOpcode = m_nLastOpcode;
    at.m_nBlock = m_nLastOpcode == OP_DATA ? m_nLastSequence : 0;
    return true;
}
