#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/BoardResult.h"
#include "cli/IFlashObserver.h"
#include "cli/ReturnCheck.h"

class IClock;

// Everything a station knows of one board: how its download ended, when it
// ran, how often a request went out again and whether the board came back.
struct StationBoard {
    BoardResult m_result;
    ReturnOutcome m_return;
    bool m_bStarted = false;
    bool m_bInterrupted = false; // the run ended meanwhile; m_result names where the download was
    bool m_bComplete = false;    // nothing more will be learnt of it
    bool m_bServedBefore = false; // skipped: the record shows it served with this image
    std::uint64_t m_nStartWallMs = 0, m_nEndWallMs = 0; // UTC
    std::uint64_t m_nStartMs = 0, m_nEndMs = 0;         // monotonic
    int m_nRetransmissions = 0;
};

enum class StationVerdict { Served, Failed, Skipped, Interrupted };

StationVerdict VerdictOf(const StationBoard& board);
// The result as the result line gives it: "ok, back after 3.2 s", "rebooted, did not come back within 5 s",
// "interrupted at data block 17", or the download's own result.
std::wstring DescribeStation(const StationBoard& board, std::uint64_t returnLimitMs);
std::wstring FormatStationLine(const StationBoard& board, std::uint64_t returnLimitMs); // address TAB result TAB name
// Data blocks of an image of `imageSize` bytes the board acknowledged.
std::uint32_t BlocksAcknowledged(const StationBoard& board, std::uint64_t imageSize);

struct StationCounts {
    int boards = 0, served = 0, failed = 0, skipped = 0, interrupted = 0;
};
StationCounts CountStation(const std::vector<StationBoard>& boards);
// "12 boards: 6 served, 0 failed, 6 skipped, 0 still running (interrupted) in 31.0 s"
std::wstring FormatStationSummary(const StationCounts& counts, std::uint64_t elapsedMs);

// Between the download lanes and the progress view: notes when each board
// starts and ends, counts its retransmissions and, with a return check,
// asks a rebooted board whether it is back before its record is complete.
class StationTracker : public IFlashObserver {
public:
    using Complete = std::function<void(int board)>;

    // `boards` indexed as the observed batch indexes them; `check` may be null.
    StationTracker(IClock& clock, IFlashObserver& next, std::vector<StationBoard>& boards, ReturnCheck* check,
        Complete complete);

    void OnStatusLine(const std::wstring& line) override;
    void OnBoardStarted(int board) override;
    void OnBoardProgress(int board, int percent) override;
    void OnBoardFinished(int board, const DownloadEnd& end) override;
    void OnBoardRetransmission(int board) override;
    void OnReturn(int board, const ReturnOutcome& outcome);
    // The run ends while the board's download is at `at` (nothing started: opcode 0).
    void Interrupt(int board, const DownloadEnd& at);
    // Nothing more will be learnt of the board: its end is stamped and it is reported.
    void Close(int board);

private:
    StationBoard& At(int board) { return m_boards[static_cast<std::size_t>(board)]; }

    IClock& m_clock;
    IFlashObserver& m_next;
    std::vector<StationBoard>& m_boards;
    ReturnCheck* m_check;
    Complete m_complete;
};
