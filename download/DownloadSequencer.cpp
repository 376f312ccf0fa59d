#include "download/DownloadSequencer.h"

#include "download/Progress.h"

DownloadSequencer::DownloadSequencer(IDownloadHost& host, IFirmwareFile& file)
    : m_host(host), m_file(file)
{
}

bool DownloadSequencer::Start(const std::wstring& path, const std::string& ansiFileName,
    const std::vector<std::wstring>& boards)
{
    if (m_bRunning || !FileNameFits(ansiFileName))
        return false;

    m_host.OnDownloadStarted(path);
    // The download works on copies: the window's path, unit list and request
    // buffer may all change under it while it runs.
    m_strFileName = ansiFileName;
    m_boards = boards;
    m_nCurrent = -1;
    m_bAwaiting = false;
    m_nPending = 0;

    std::uint64_t length = 0;
    if (!m_file.Open(path) || !m_file.GetLength(length)) {
        if (m_file.IsOpen())
            m_file.Close();
        m_host.OnOpenFailed(path);
        return false;
    }
    m_nFileLength = length;
    m_bRunning = true;
    Post(SequencerMessage::NextBoard);
    return true;
}

void DownloadSequencer::Dispatch(SequencerMessage message)
{
    switch (message) {
    case SequencerMessage::SendFileName: OnSendFileName(); break;
    case SequencerMessage::SendData: OnSendData(); break;
    case SequencerMessage::SendReboot: OnSendReboot(); break;
    case SequencerMessage::NextBoard: OnNextBoard(); break;
    }
}

void DownloadSequencer::OnNextBoard()
{
    if (!TakePending(SequencerMessage::NextBoard))
        return;
    ++m_nCurrent;
    if (m_nCurrent >= static_cast<int>(m_boards.size())) {
        m_bRunning = false;
        m_file.Close();
        m_host.OnDownloadEnded();
        return;
    }
    m_host.OnBoardStarted(m_nCurrent, Board());
    m_nShownPercent = 0;
    m_nRetries = 0;
    m_bEchoes = false;
    m_nEchoedBlock = 0;
    m_nDataUnanswered = 0;
    m_bUnconfirmed = false;
    m_nSentOpcode = 0;
    // Two programs feeding one board would leave it with a mix of both images.
    if (!m_host.TakeBoard(Board())) {
        EndBoard(BoardOutcome::HeldElsewhere, 0);
        return;
    }
    m_bHeld = true;
    if (!m_file.SeekToBegin()) {
        EndBoard(BoardOutcome::FileError, OP_FILENAME);
        return;
    }
    Post(SequencerMessage::SendFileName);
}

void DownloadSequencer::OnSendFileName()
{
    if (!TakePending(SequencerMessage::SendFileName))
        return;
    if (m_nRetries >= RETRY_LIMIT) {
        EndBoard(BoardOutcome::NoReply, OP_FILENAME);
        return;
    }
    Send(BuildFileNameRequest(m_packet, m_strFileName));
    Await(OP_FILENAME);
    m_nBlock = 0;
}

void DownloadSequencer::OnSendData()
{
    if (!TakePending(SequencerMessage::SendData))
        return;
    if (m_nRetries >= RETRY_LIMIT) {
        EndBoard(BoardOutcome::NoReply, OP_DATA);
        return;
    }
    if (m_nRetries == 0) {
        const int count = m_file.Read(m_packet.Payload(), DATA_BLOCK_SIZE);
        // Nothing left to read while the length says otherwise means the file
        // changed under us; sending empty blocks would never end.
        if (count < 0 || count > DATA_BLOCK_SIZE || (count == 0 && m_nFileLength != 0)) {
            EndBoard(BoardOutcome::FileError, OP_DATA);
            return;
        }
        BuildDataRequest(m_packet, m_nBlock++, count);
    }
    // A retransmission sends the buffer exactly as it went out the first time.
    Send(m_packet.DatagramSize());
    Await(OP_DATA);
}

void DownloadSequencer::OnSendReboot()
{
    if (!TakePending(SequencerMessage::SendReboot))
        return;
    if (m_nRetries >= RETRY_LIMIT) {
        EndBoard(BoardOutcome::NoReply, OP_REBOOT);
        return;
    }
    Send(BuildRebootRequest(m_packet));
    m_host.OnRebootSent(m_nCurrent, Board());
    Await(OP_REBOOT);
}

void DownloadSequencer::OnTick(std::uint64_t nowMs)
{
    // A tick before the deadline, or with no request out, is the shell's timer
    // running ahead of a deadline that moved on.
    if (!m_bAwaiting || nowMs < m_nDeadline)
        return;
    StopAwaiting();
    ++m_nRetries;
    m_host.OnRetrying(m_nCurrent, Board(), m_nStage);
    switch (m_nStage) {
    case OP_FILENAME: Post(SequencerMessage::SendFileName); break;
    case OP_DATA: Post(SequencerMessage::SendData); break;
    default: Post(SequencerMessage::SendReboot); break; // OP_REBOOT, the only other stage awaited
    }
}

void DownloadSequencer::OnAck(const BoardReply& reply, const std::wstring& sender)
{
    if (!m_bRunning || m_nCurrent < 0 || m_nCurrent >= static_cast<int>(m_boards.size()) || sender != Board())
        return;
    NoteReply(reply);
    // Only the answer to the request now out counts. Anything else (a reply
    // while idle or between steps, a duplicate, the answer to an earlier stage)
    // would post a second step and put two requests out.
    if (!m_bAwaiting || reply.opcode != m_nStage)
        return;
    if (reply.opcode == OP_DATA && !IsForOutstandingBlock(reply))
        return;

    StopAwaiting();
    const bool positive = reply.status == STATUS_ACK;
    if (!positive)
        EndBoard(BoardOutcome::NegativeAck, reply.opcode);
    else if (reply.opcode == OP_FILENAME)
        Post(SequencerMessage::SendData);
    else if (reply.opcode == OP_DATA)
        OnDataAccepted();
    else
        EndBoard(BoardOutcome::Rebooted, 0);
    if (positive)
        m_nRetries = 0;
}

void DownloadSequencer::NoteReply(const BoardReply& reply)
{
    // A board that echoes the request header shows it at once when its
    // file-name ack carries the request's length and sequence 0.
    if (reply.opcode == OP_FILENAME && m_bAwaiting && m_nStage == OP_FILENAME && reply.hasHeader
        && reply.length == m_packet.Length() && reply.sequence == 0)
        m_bEchoes = true;
    if (reply.opcode != OP_DATA)
        return;
    // More data acks than data requests: one came twice, and a copy that came
    // while a later block was out may have been taken for it.
    if (--m_nDataUnanswered < 0 && !m_bEchoes)
        m_bUnconfirmed = true;
}

bool DownloadSequencer::IsForOutstandingBlock(const BoardReply& reply)
{
    // Once a board is known to echo the header, an ack for any other block
    // than the one out is late or a duplicate and must not count for it.
    const std::uint32_t block = m_packet.Sequence();
    const bool matches = reply.hasHeader && reply.sequence == block;
    if (m_bEchoes)
        return matches;
    // Matching one block proves nothing: a board whose acks always carry the
    // same value matches that block by chance. Two different blocks do.
    if (matches && block != 0) {
        if (m_nEchoedBlock != 0 && m_nEchoedBlock != block) {
            m_bEchoes = true;
            return true;
        }
        m_nEchoedBlock = block;
    }
    // Taken at its word, as its acks cannot say otherwise. If an earlier block
    // is still unanswered (beyond the transmissions of this one), this ack may
    // be that block's late answer; block 0 has no earlier block to mistake.
    if (block != 0 && m_nDataUnanswered > m_nRetries)
        m_bUnconfirmed = true;
    return true;
}

void DownloadSequencer::OnDataAccepted()
{
    std::uint64_t position = 0;
    if (!m_file.GetPosition(position)) {
        EndBoard(BoardOutcome::FileError, OP_DATA);
        return;
    }
    BlockAcked acked;
    acked.board = m_nCurrent;
    acked.block = m_packet.Sequence();
    acked.delivered = position;
    acked.total = m_nFileLength;
    acked.percent = ProgressPercent(position, m_nFileLength);
    const bool last = position >= m_nFileLength;
    if (last) {
        acked.show = true;
    } else if (acked.percent != m_nShownPercent) {
        const std::uint64_t now = m_host.NowMs();
        acked.show = !m_bShownYet || now - m_nShownAt >= PROGRESS_SPACING_MS;
        if (acked.show) {
            m_nShownAt = now;
            m_bShownYet = true;
        }
    }
    if (acked.show)
        m_nShownPercent = acked.percent;
    Post(last ? SequencerMessage::SendReboot : SequencerMessage::SendData);
    m_host.OnBlockAcked(acked);
}

bool DownloadSequencer::Where(std::uint8_t& opcode, std::uint32_t& block) const
{
    if (!m_bRunning || m_nSentOpcode == 0 || m_nCurrent < 0 || m_nCurrent >= static_cast<int>(m_boards.size()))
        return false;
    opcode = m_nSentOpcode;
    block = opcode == OP_DATA ? m_packet.Sequence() : 0;
    return true;
}

bool DownloadSequencer::TakePending(SequencerMessage message)
{
    // Each step posts exactly one message; one that was not posted, or came
    // twice, has no step to run.
    if (!m_bRunning || m_nPending != static_cast<int>(message))
        return false;
    m_nPending = 0;
    return true;
}

void DownloadSequencer::Post(SequencerMessage message)
{
    m_nPending = static_cast<int>(message);
    m_host.PostSequencerMessage(message);
}

void DownloadSequencer::Send(int size)
{
    m_nSentOpcode = m_packet.Opcode();
    if (m_nSentOpcode == OP_DATA)
        ++m_nDataUnanswered;
    // A failed send is not reported: the reply deadline makes good for it.
    m_host.SendToBoard(Board(), m_packet.Data(), size);
}

void DownloadSequencer::Await(std::uint8_t stage)
{
    m_nDeadline = m_host.NowMs() + RETRY_TIMEOUT_MS;
    m_nStage = stage;
    m_bAwaiting = true;
    m_host.ScheduleTick(m_nDeadline);
}

void DownloadSequencer::StopAwaiting()
{
    m_bAwaiting = false;
    m_host.ScheduleTick(NO_DEADLINE);
}

void DownloadSequencer::EndBoard(BoardOutcome outcome, std::uint8_t opcode)
{
    if (m_bHeld) {
        m_bHeld = false;
        m_host.ReleaseBoard(Board());
    }
    BoardEnd end;
    end.board = m_nCurrent;
    end.address = Board();
    end.outcome = outcome;
    end.opcode = outcome == BoardOutcome::Rebooted ? 0 : opcode;
    end.block = opcode == OP_DATA ? m_packet.Sequence() : 0;
    end.unconfirmed = outcome == BoardOutcome::Rebooted && m_bUnconfirmed;
    m_nSentOpcode = 0;
    m_host.OnBoardFinished(end);
    Post(SequencerMessage::NextBoard);
}
