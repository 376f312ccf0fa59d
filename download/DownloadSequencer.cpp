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
    m_nRetries = 0;
    m_evidence.StartTurn();
    m_evidence.StartPass();
    m_nPass = 1;
    m_bRebootSent = false;
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
    m_evidence.EndDataPhase();
    Send(BuildRebootRequest(m_packet));
    m_bRebootSent = true;
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
    if (!m_bRunning || m_nCurrent < 0 || m_nCurrent >= static_cast<int>(m_boards.size()) || sender != Board()
        || m_nSentOpcode == 0)
        return;
    // A refusal ends the board, whatever else it says and whenever it comes:
    // a late one may be all that is left of a request that was taken as done.
    if (reply.status != STATUS_ACK) {
        Conclude(Verdict::Refused, reply.opcode);
        return;
    }
    // Only the answer to the request now out counts. Anything else (a reply
    // while idle or between steps, a duplicate, the answer to an earlier stage)
    // would post a second step and put two requests out.
    const bool awaiting = m_bAwaiting && reply.opcode == m_nStage;
    if (reply.opcode == OP_DATA) {
        const bool counts = m_evidence.OnDataAck(reply, awaiting);
        if (m_evidence.IsOutOfStep()) {
            Conclude(Verdict::OutOfStep, OP_DATA);
            return;
        }
        if (!counts)
            return;
    } else if (!awaiting) {
        return;
    }

    StopAwaiting();
    m_nRetries = 0;
    if (reply.opcode == OP_FILENAME) {
        m_evidence.OnFileNameAck(reply, m_packet.Length());
        Post(SequencerMessage::SendData);
    } else if (reply.opcode == OP_DATA) {
        OnDataAccepted();
    } else {
        EndBoard(BoardOutcome::Rebooted, 0);
    }
}

void DownloadSequencer::Conclude(Verdict verdict, std::uint8_t opcode)
{
    // With a step already posted, it runs first and finds the verdict: a second
    // message would put two steps in the queue.
    if (m_nPending != 0) {
        m_verdict = verdict;
        m_nVerdictOpcode = opcode;
        return;
    }
    StopAwaiting();
    if (verdict == Verdict::Refused)
        EndBoard(BoardOutcome::NegativeAck, opcode);
    else
        OnOutOfStep();
}

bool DownloadSequencer::TakeVerdict()
{
    if (m_verdict == Verdict::None)
        return false;
    const Verdict verdict = m_verdict;
    m_verdict = Verdict::None;
    Conclude(verdict, m_nVerdictOpcode);
    return true;
}

void DownloadSequencer::OnOutOfStep()
{
    // The board is known to lack part of the image: it gets nothing more of
    // this pass and no reboot. Once it is started over from its file name.
    if (m_nPass > 1) {
        EndBoard(BoardOutcome::OutOfStep, OP_DATA);
        return;
    }
    ++m_nPass;
    m_host.OnBoardRestarted(m_nCurrent, Board(), m_evidence.LastBlock());
    m_bRebootSent = false;
    m_nRetries = 0;
    m_evidence.StartPass();
    if (!m_file.SeekToBegin()) {
        EndBoard(BoardOutcome::FileError, OP_FILENAME);
        return;
    }
    Post(SequencerMessage::SendFileName);
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
    acked.at = m_host.NowMs();
    const bool last = position >= m_nFileLength;
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
    // A refusal or acks out of step that came while this step was queued.
    return !TakeVerdict();
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
        m_evidence.OnDataSent(m_packet.Sequence());
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
    end.block = opcode != OP_DATA ? 0 : outcome == BoardOutcome::OutOfStep ? m_evidence.LastBlock() : m_packet.Sequence();
    end.rebootSent = m_bRebootSent;
    end.unconfirmed = outcome == BoardOutcome::Rebooted && m_evidence.Verdict() != AckVerdict::Confirmed;
    end.passes = m_nPass;
    m_nSentOpcode = 0;
    m_verdict = Verdict::None;
    m_host.OnBoardFinished(end);
    Post(SequencerMessage::NextBoard);
}
