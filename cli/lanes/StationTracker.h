#pragma once

#include <functional>
#include <vector>

#include "cli/lanes/IFlashObserver.h"
#include "cli/report/StationBoard.h"

class IClock;
class ReturnCheck;

// Between the download lanes and the progress view: notes when each board
// starts and ends, counts its retransmissions and, with a return check,
// asks a rebooted board whether it is back before its record is complete.
class StationTracker : public FlashRelay {
public:
    using Complete = std::function<void(int board)>;

    // `boards` indexed as the observed batch indexes them; `check` may be null.
    // `requireConfirmed`: a reboot its acks could not prove is a failure.
    StationTracker(IClock& clock, IFlashObserver& next, std::vector<StationBoard>& boards, ReturnCheck* check,
        Complete complete, bool requireConfirmed = false);

    void OnBoardStarted(int board) override;
    void OnBoardFinished(int board, const DownloadEnd& end) override;
    void OnBoardRetransmission(int board) override;
    void OnReturn(int board, const ReturnOutcome& outcome);
    // The run ends while the board's download is at `at` (nothing started: opcode 0).
    void Interrupt(int board, const DownloadEnd& at);
    // Nothing more will be learnt of the board: its end is stamped and it is reported.
    void Close(int board);

private:
    StationBoard& At(int board) { return m_boards[static_cast<std::size_t>(board)]; }
    void Stamp(StationBoard& b);

    IClock& m_clock;
    std::vector<StationBoard>& m_boards;
    ReturnCheck* m_check;
    Complete m_complete;
    bool m_bRequireConfirmed;
};
