#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "cli/lanes/IFlashObserver.h"
#include "cli/lanes/ReturnCheck.h"
#include "cli/report/StationBoard.h"

class IClock;

// Between the download lanes and the progress view: notes when each board
// starts and ends, counts its retransmissions and, with a return check,
// asks a rebooted board whether it is back before its record is complete.
class StationTracker : public FlashRelay {
public:
    using Complete = std::function<void(const StationBoard& board)>;

    // `boards` indexed as the observed batch indexes them. `returnLimitMs`: how
    // long a rebooted board is asked whether it is back; 0, no return check.
    // `requireConfirmed`: a reboot its acks could not prove is a failure.
    StationTracker(IClock& clock, EventLoop& loop, BoardLink& link, std::uint64_t returnLimitMs, IFlashObserver& next,
        std::vector<StationBoard>& boards, Complete complete, bool requireConfirmed = false);

    void OnBoardStarted(int board) override;
    void OnBoardFinished(int board, const DownloadEnd& end) override;
    void OnBoardRetransmission(int board) override;
    // The return check, null without one.
    ReturnCheck* Check() { return m_check.get(); }
    // The run ends while the board's download is at `at` (nothing started: opcode 0).
    void Interrupt(int board, const DownloadEnd& at);
    // Nothing more will be learnt of the board: its end is stamped and it is reported.
    void Close(int board);

private:
    StationBoard& At(int board) { return m_boards[static_cast<std::size_t>(board)]; }
    void Stamp(StationBoard& b);

    IClock& m_clock;
    std::vector<StationBoard>& m_boards;
    std::unique_ptr<ReturnCheck> m_check;
    Complete m_complete;
    bool m_bRequireConfirmed;
};
