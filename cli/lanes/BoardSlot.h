#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/lanes/IFlashObserver.h"
#include "cli/lanes/MemoryFirmwareFile.h"
#include "download/DownloadSequencer.h"

class BoardLink;
class BoardLocks;
class EventLoop;

// One lane of a parallel download: a sequencer of its own with the queue,
// the timer and the board link it needs, reporting by batch index.
class BoardSlot : public IDownloadHost {
public:
    // `locks`: claims on the boards while they are served; null: none taken.
    BoardSlot(int id, EventLoop& loop, BoardLink& link, IFlashObserver& observer,
        const std::vector<std::uint8_t>& image, BoardLocks* locks = nullptr);
    BoardSlot(const BoardSlot&) = delete;
    BoardSlot& operator=(const BoardSlot&) = delete;

    // `boards`: batch indexes of `addresses`, served in this order. `announce`:
    // this lane says that the download starts (one lane of a batch does).
    // When the file cannot be sent, each board ends with a file error.
    void Start(const std::wstring& path, const std::string& ansiName, const std::vector<int>& boards,
        const std::vector<std::wstring>& addresses, bool announce = true);
    bool IsRunning() const { return m_sequencer.IsRunning(); }
    // The board being served (batch index) and where its download is: the
    // request sent last and, with OP_DATA, its block, and the acks taken so far.
    // False before its first request.
    bool Where(int& board, DownloadEnd& at) const;
    void OnAck(const BoardReply& reply, const std::wstring& sender) { m_sequencer.OnAck(reply, sender); }

private:
    std::uint64_t NowMs() override;
    void PostSequencerMessage(SequencerMessage message) override;
    void ScheduleTick(std::uint64_t deadlineMs) override;
    bool SendToBoard(const std::wstring& ip, const std::uint8_t* data, int length) override;
    bool TakeBoard(const std::wstring& ip) override;
    void ReleaseBoard(const std::wstring& ip) override;
    void OnDownloadStarted(const std::wstring& path) override;
    void OnOpenFailed(const std::wstring& path) override;
    void OnBoardStarted(int position, const std::wstring& address) override;
    void OnRetrying(int position, const std::wstring& address, std::uint8_t opcode) override;
    void OnRebootSent(int position, const std::wstring& address) override;
    void OnBoardRestarted(int position, const std::wstring& address, std::uint32_t block) override;
    void OnBlockAcked(const BlockAcked& acked) override;
    void OnBoardFinished(const BoardEnd& end) override;
    int BatchIndex(int position) const { return m_boards[static_cast<std::size_t>(position)]; }

    int m_nId;
    EventLoop& m_loop;
    BoardLink& m_link;
    IFlashObserver& m_observer;
    BoardLocks* m_pLocks;
    MemoryFirmwareFile m_file;
    DownloadSequencer m_sequencer;
    std::vector<int> m_boards; // batch index of each position in the sequencer's list
    int m_nPercent = -1;       // last reported percentage of the board being served
    int m_nResendDue = -1;     // position whose deadline ran out: its next request is a repeat
    bool m_bAnnounce = true;
    std::uint32_t m_nAcked = 0; // data acks taken for the board being served
    int m_nPasses = 1;
};
