#pragma once

#include <cstdint>
#include <string>

#include "download/IDownloadHost.h"

// Whether a board's download ran to its end or was cut short by an interrupt.
enum class DownloadCut { None, Interrupted, NotStarted };

// How a download ended for one board: the sequencer's outcome, the request
// it ended at (0 after the reboot ack) and, for a data request, its block.
// An interrupted one keeps the request it sent last and the image's block count.
struct DownloadEnd {
    BoardOutcome m_outcome = BoardOutcome::NoReply;
    std::uint8_t m_nOpcode = 0;
    std::uint32_t m_nBlock = 0;
    bool m_bUnconfirmed = false; // rebooted, but its acks cannot prove that every block arrived
    DownloadCut m_cut = DownloadCut::None;
    std::uint32_t m_nBlocks = 0; // interrupted: the image's blocks
    std::uint32_t m_nAcked = 0;  // data acks taken, both passes of a board started over counted
    int m_nPasses = 0;           // conversations from the file name: 0 never contacted, 2 started over
    bool m_bRebootSent = false;  // in its last pass: acks can go out of step after the last block
};

// What a batch of downloads reports while it runs; `board` indexes the
// batch's address list.
class IFlashObserver {
public:
    virtual ~IFlashObserver() = default;
    virtual void OnStatusLine(const std::wstring& line) = 0; // the sequencer's text, "\r\n" included
    virtual void OnBoardStarted(int board) = 0;
    virtual void OnBoardProgress(int board, int percent) = 0;
    virtual void OnBoardFinished(int board, const DownloadEnd& end) = 0;
    // The retry timer ran out and the request went out again.
    virtual void OnBoardRetransmission(int) {}
    virtual void OnBoardRetrying(int, std::uint8_t) {} // its deadline ran out at this request (opcode)
    virtual void OnBoardRebooting(int) {}              // its reboot request went out
    // Its acks went out of step at this data block: started over from the file name, from 0.
    virtual void OnBoardRestarted(int, std::uint32_t) {}
    // Nothing more will be learnt of it: its result, as its result line gives it.
    virtual void OnBoardReported(int, const std::wstring&) {}
};

// Passes every report on to the next observer: a stage between the lanes and
// the view overrides only what it adds.
class FlashRelay : public IFlashObserver {
public:
    explicit FlashRelay(IFlashObserver& next) : m_next(next) {}
    void OnStatusLine(const std::wstring& line) override { m_next.OnStatusLine(line); }
    void OnBoardStarted(int board) override { m_next.OnBoardStarted(board); }
    void OnBoardProgress(int board, int percent) override { m_next.OnBoardProgress(board, percent); }
    void OnBoardFinished(int board, const DownloadEnd& end) override { m_next.OnBoardFinished(board, end); }
    void OnBoardRetransmission(int board) override { m_next.OnBoardRetransmission(board); }
    void OnBoardRetrying(int board, std::uint8_t opcode) override { m_next.OnBoardRetrying(board, opcode); }
    void OnBoardRebooting(int board) override { m_next.OnBoardRebooting(board); }
    void OnBoardRestarted(int board, std::uint32_t block) override { m_next.OnBoardRestarted(board, block); }
    void OnBoardReported(int board, const std::wstring& result) override { m_next.OnBoardReported(board, result); }

protected:
    IFlashObserver& m_next;
};
