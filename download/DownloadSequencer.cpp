#include "download/DownloadSequencer.h"

#include "download/Progress.h"

DownloadSequencer::DownloadSequencer(IDownloadHost& host, IFirmwareFile& file)
    : m_host(host), m_file(file)
{
}

bool DownloadSequencer::Start(const std::wstring& path, const std::string& ansiFileName,
    const std::vector<int>& selected, const std::vector<std::wstring>& boards)
{
    if (m_bRunning || !FileNameFits(ansiFileName))
        return false;

    m_host.SetReady(false);
    m_host.ClearLog();
    m_host.LogLine(L"Downloading " + path + L" to all valid selected boards.\r\n");

    // The download works on copies: the window's path, unit list and request
    // buffer may all change under it while it runs.
    m_strFirmwarePath = path;
    m_strFileName = ansiFileName;
    m_selected = selected;
    m_boards = boards;
    m_nCurrent = -1;
    m_bAwaiting = false;
    m_nPending = 0;

    std::uint64_t length = 0;
    if (!m_file.Open(path) || !m_file.GetLength(length)) {
        if (m_file.IsOpen())
            m_file.Close();
        m_host.LogLine(L"Unable to open " + path + L"\r\nAborting download.\r\n");
        m_host.SetReady(true);
        return false;
    }
    m_nFileLength = length;
    m_bRunning = true;
    Post(SequencerMessage::NextBoard);
    return true;
}

void DownloadSequencer::OnNextBoard()
{
    if (!TakePending(SequencerMessage::NextBoard))
        return;
    ++m_nCurrent;
    if (m_nCurrent >= static_cast<int>(m_boards.size())) {
        m_bRunning = false;
        m_host.SetReady(true);
        m_file.Close();
        return;
    }
    m_host.SetProgressPos(0);
    m_nShownPercent = 0;
    m_nRetries = 0;
    m_bEchoes = false;
    m_nEchoedBlock = 0;
    m_nDataUnanswered = 0;
    m_bUnconfirmed = false;
    // Two programs feeding one board would leave it with a mix of both images.
    if (!m_host.TakeBoard(Board())) {
        Log(L"Unit at IP ", Board(), L" is being updated by another program.\r\n");
        EndBoard(BoardOutcome::HeldElsewhere, 0);
        return;
    }
    m_bHeld = true;
    if (!m_file.SeekToBegin()) {
        FailBoard(BoardOutcome::FileError, OP_FILENAME);
        return;
    }
    Post(SequencerMessage::SendFileName);
}

void DownloadSequencer::OnSendFileName()
{
    if (!TakePending(SequencerMessage::SendFileName))
        return;
    if (m_nRetries >= RETRY_LIMIT) {
        FailBoard(BoardOutcome::NoReply, OP_FILENAME);
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
        FailBoard(BoardOutcome::NoReply, OP_DATA);
        return;
    }
    if (m_nRetries == 0) {
        const int count = m_file.Read(m_packet.Payload(), DATA_BLOCK_SIZE);
        // Nothing left to read while the length says otherwise means the file
        // changed under us; sending empty blocks would never end.
        if (count < 0 || count > DATA_BLOCK_SIZE || (count == 0 && m_nFileLength != 0)) {
            FailBoard(BoardOutcome::FileError, OP_DATA);
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
        FailBoard(BoardOutcome::NoReply, OP_REBOOT);
        return;
    }
    Send(BuildRebootRequest(m_packet));
    Log(L"Unit at IP ", Board(), L" is rebooting.\r\n");
    Await(OP_REBOOT);
}

void DownloadSequencer::OnTimer()
{
    // A tick with no request out is a leftover of a timer already stopped.
    if (!m_bAwaiting)
        return;
    m_host.StopRetryTimer();
    m_bAwaiting = false;
    ++m_nRetries;
    switch (m_nStage) {
    case OP_FILENAME:
        Log(L"Retrying send file name IP ", Board(), L"\r\n");
        Post(SequencerMessage::SendFileName);
        break;
    case OP_DATA:
        Log(L"Retrying send data IP ", Board(), L"\r\n");
        Post(SequencerMessage::SendData);
        break;
    default: // OP_REBOOT, the only other stage a request is awaited in
        Log(L"Retrying send reboot IP ", Board(), L"\r\n");
        Post(SequencerMessage::SendReboot);
        break;
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

    m_host.StopRetryTimer();
    m_bAwaiting = false;
    const bool positive = reply.status == STATUS_ACK;
    if (reply.opcode == OP_FILENAME) {
        if (positive) {
            m_nRetries = 0;
            Post(SequencerMessage::SendData);
        } else {
            Log(L"Name negative acknowledgement failure IP ", sender, L"\r\n");
            EndBoard(BoardOutcome::NegativeAck, OP_FILENAME);
        }
    } else if (reply.opcode == OP_DATA) {
        if (positive) {
            OnDataAccepted();
        } else {
            Log(L"Data negative acknowledgement failure IP ", sender, L"\r\n");
            EndBoard(BoardOutcome::NegativeAck, OP_DATA);
        }
    } else if (positive) {
        m_nRetries = 0;
        EndBoard(BoardOutcome::Rebooted, 0);
    } else {
        Log(L"Reboot negative acknowledgement failure IP ", sender, L"\r\n");
        EndBoard(BoardOutcome::NegativeAck, OP_REBOOT);
    }
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
    m_nRetries = 0;
    std::uint64_t position = 0;
    if (!m_file.GetPosition(position)) {
        FailBoard(BoardOutcome::FileError, OP_DATA);
        return;
    }
    const int percent = ProgressPercent(position, m_nFileLength);
    // p + 1 first, then p: the control animates towards a position only when
    // it moves forward, so stepping past and back shows the bar at once. The bar
    // repaints at every move, which can cost more than a block's round trip, so
    // it moves only when the percentage does and the host has time for it.
    if (percent != m_nShownPercent && m_host.ProgressMayMove()) {
        m_host.SetProgressPos(percent + 1);
        m_host.SetProgressPos(percent);
        m_nShownPercent = percent;
    }
    if (position < m_nFileLength) {
        Post(SequencerMessage::SendData);
        return;
    }
    Post(SequencerMessage::SendReboot);
    m_host.SetProgressRange(101);
    m_host.SetProgressPos(101);
    m_host.SetProgressPos(100);
    m_host.SetProgressRange(100);
    m_nShownPercent = 100;
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
    if (m_packet.Opcode() == OP_DATA)
        ++m_nDataUnanswered;
    // A failed send is not reported: the retry timer makes good for it.
    m_host.SendToBoard(Board(), m_packet.Data(), size);
}

void DownloadSequencer::Await(std::uint8_t stage)
{
    m_host.StartRetryTimer();
    m_nStage = stage;
    m_bAwaiting = true;
}

void DownloadSequencer::Log(const wchar_t* before, const std::wstring& ip, const wchar_t* after)
{
    m_host.LogLine(before + ip + after);
}

void DownloadSequencer::EndBoard(BoardOutcome outcome, std::uint8_t opcode)
{
    if (m_bHeld) {
        m_bHeld = false;
        m_host.ReleaseBoard(Board());
    }
    m_host.OnBoardFinished(m_nCurrent, outcome, opcode);
    Post(SequencerMessage::NextBoard);
}

void DownloadSequencer::FailBoard(BoardOutcome outcome, std::uint8_t opcode)
{
    Log(L"Unit at IP ", Board(), L" failed to download.\r\n");
    EndBoard(outcome, opcode);
}
