#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/IFlashObserver.h"
#include "cli/MemoryFirmwareFile.h"
#include "download/DownloadSequencer.h"

class BoardLink;
class EventLoop;

// One lane of a parallel download: a sequencer of its own with the queue,
// the retry timer and the board link it needs, reporting by batch index.
class BoardSlot : public IDownloadHost {
public:
    BoardSlot(int id, EventLoop& loop, BoardLink& link, IFlashObserver& observer,
        const std::vector<std::uint8_t>& image);
    BoardSlot(const BoardSlot&) = delete;
    BoardSlot& operator=(const BoardSlot&) = delete;

    // `boards`: batch indexes of `addresses`, served in this order.
    bool Start(const std::wstring& path, const std::string& ansiName, const std::vector<int>& boards,
        const std::vector<std::wstring>& addresses);
    bool IsRunning() const { return m_sequencer.IsRunning(); }
    // The board being served and where its download is: the request sent last and, with OP_DATA, its block.
    bool Where(int& board, DownloadEnd& at) const;
    void OnAck(const BoardReply& reply, const std::wstring& sender) { m_sequencer.OnAck(reply, sender); }

    void PostSequencerMessage(SequencerMessage message) override;
    void StartRetryTimer() override;
    void StopRetryTimer() override;
    bool SendToBoard(const std::wstring& ip, const std::uint8_t* data, int length) override;
    void ClearLog() override {}
    void LogLine(const std::wstring& line) override;
    void SetProgressPos(int position) override;
    void SetProgressRange(int) override {}
    void SetReady(bool) override {}
    void OnBoardFinished(int position, BoardOutcome outcome, std::uint8_t opcode) override;

private:
    void Deliver(SequencerMessage message);
    void NoteBoard();
    void ReportProgress();

    int m_nId;
    EventLoop& m_loop;
    BoardLink& m_link;
    IFlashObserver& m_observer;
    MemoryFirmwareFile m_file;
    DownloadSequencer m_sequencer;
    int m_nShown = -1;   // position of the board last reported as started
    int m_nPercent = -1; // its last reported percentage
    int m_nPosition = 0; // the bar's position, 0..100
    bool m_bReportDue = false;
    std::uint32_t m_nLastSequence = 0; // of the request sent last
    std::uint8_t m_nLastOpcode = 0;
    bool m_bResendDue = false;         // the retry timer ran out; the next send to this board repeats a request
};
