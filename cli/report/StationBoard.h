#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/lanes/ReturnCheck.h"
#include "cli/report/BoardResult.h"

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
// For JSON and the record: the result keyword, with "not-back" and "interrupted" for the return check.
const char* StationKeyword(const StationBoard& board);
// The counts of a flash command, in which a board that did not come back failed.
ResultCounts CountFlash(const std::vector<StationBoard>& boards);

struct StationCounts {
    int boards = 0, served = 0, failed = 0, skipped = 0, interrupted = 0;
    int unconfirmed = 0; // of the served
};
StationCounts CountStation(const std::vector<StationBoard>& boards);
// "12 boards: 6 served (1 unconfirmed), 0 failed, 6 skipped, 0 still running (interrupted) in 31.0 s"
std::wstring FormatStationSummary(const StationCounts& counts, std::uint64_t elapsedMs);
