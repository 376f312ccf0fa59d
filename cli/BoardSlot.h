#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/IFlashObserver.h"
#include "cli/MemoryFirmwareFile.h"
#include "download/DownloadSequencer.h"

class BoardLink;
class BoardLocks;
class EventLoop;

// One lane of a parallel download: a sequencer of its own with the queue,
// the retry timer and the board link it needs, reporting by batch index.
class BoardSlot : public IDownloadHost {
public:
    // `locks`: claims on the boards while they are served; null: none taken.
    BoardSlot(int id, EventLoop& loop, BoardLink& link, IFlashObserver& observer,
        const std::vector<std::uint8_t>& image, BoardLocks* locks = nullptr);
    BoardSlot(const BoardSlot&) = delete;
    BoardSlot& operator=(const BoardSlot&) = delete;

    // `boards`: batch indexes of `addresses`, served in this order.
    bool Start(const std::wstring& path, const std::string& ansiName, const std::vector<int>& boards,
        const std::vector<std::wstring>& addresses);
    bool IsRunning() const { return m_sequencer.IsRunning(); }
    // The board a request was last sent to (batch index; -1 before any) and that request.
    int BoardInProgress() const { return m_nLastOpcode == 0 ? -1 : m_nShownBoard; }
    std::uint8_t LastOpcode() const { return m_nLastOpcode; }
    std::uint32_t LastSequence() const { return m_nLastSequence; }
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
    bool TakeBoard(const std::wstring& ip) override;
    void ReleaseBoard(const std::wstring& ip) override;

private:
    void Deliver(SequencerMessage message);
    void NoteBoard();
    void ReportProgress();

    int m_nId;
    EventLoop& m_loop;
    BoardLink& m_link;
    IFlashObserver& m_observer;
    BoardLocks* m_pLocks;
    MemoryFirmwareFile m_file;
    DownloadSequencer m_sequencer;
    int m_nShown = -1;   // position of the board last reported as started
    int m_nPercent = -1; // its last reported percentage
    int m_nPosition = 0; // the bar's position, 0..100
    bool m_bReportDue = false;
    int m_nShownBoard = -1;             // batch index of the board at m_nShown
    std::uint8_t m_nLastOpcode = 0;     // of the request sent last to that board, 0 before any
    std::uint32_t m_nLastSequence = 0;  // of the request sent last
    bool m_bResendDue = false;         // the retry timer ran out; the next send to this board repeats a request
};
