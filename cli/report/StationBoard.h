#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/commands/ExitCode.h"
#include "cli/lanes/IFlashObserver.h"
#include "cli/lanes/ReturnCheck.h"
#include "discovery/DiscoveryText.h"

// NotConfirmed: rebooted, but its acks could not prove the image, and proof
// was asked for (--require-confirmed); a failure.
enum class ResultKind { Ok, NoReply, NegativeAck, FileError, Skipped, Busy, Interrupted, NotStarted, OutOfStep, NotConfirmed };

// How one board's download ended, as the lanes told it (its request is
// OP_DISCOVER when it never answered discovery), and what that makes of it.
struct BoardResult : DownloadEnd {
    BoardList m_board;
    ResultKind m_kind = ResultKind::NoReply;
    std::wstring m_strLabel; // skipped: the board label its name lacks
};

// Everything a command knows of one board: how its download ended, when it
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

// `requireConfirmed`: a reboot its acks could not prove is a failure.
BoardResult ResultOfDownload(const BoardList& board, const DownloadEnd& end, bool requireConfirmed = false);
// Rebooted, and every data ack named its own block of a board that echoes them.
bool IsConfirmed(const BoardResult& result);

// Served: rebooted and, when asked, back; a board that did not come back failed.
enum class StationVerdict { Served, Failed, Skipped, Interrupted, NotStarted };

StationVerdict VerdictOf(const StationBoard& board);
// The result as the result line gives it: "ok", "no reply to data block 3", "ok, back after 3.2 s",
// "rebooted, did not come back within 5 s", "interrupted at data block 17", ...
std::wstring DescribeStation(const StationBoard& board, std::uint64_t returnLimitMs);
// Address TAB result TAB name; the name decoded and escaped, so the line is one line.
std::wstring FormatStationLine(const StationBoard& board, std::uint64_t returnLimitMs);
// For JSON and the record: ok, no-reply, nak, file-error, skipped, busy, interrupted, not-started, out-of-step,
// not-back (a reboot that --require-confirmed fails is still "ok": the board was rebooted).
const char* StationKeyword(const StationBoard& board);
const char* RequestKeyword(std::uint8_t opcode); // discover, filename, data, reboot, or ""

struct StationCounts {
    int boards = 0, served = 0, failed = 0, skipped = 0;
    int interrupted = 0, notStarted = 0; // cut short by an interrupt
    int unconfirmed = 0;                 // of the served: acks that could not prove the image
    int unanswered = 0;                  // of the failed: named boards that never answered discovery
};
StationCounts CountStation(const std::vector<StationBoard>& boards);
// Flash: "4 boards: 1 ok, 2 failed (1 did not answer), 1 skipped in 10.4 s"
std::wstring FormatSummary(const StationCounts& counts, std::uint64_t elapsedMs);
// Watch: "12 boards: 6 served (1 unconfirmed), 0 failed, 6 skipped, 0 still running (interrupted) in 31.0 s"
std::wstring FormatStationSummary(const StationCounts& counts, std::uint64_t elapsedMs);
// Named boards must all be flashed; with --all, boards of another kind are no failure.
CliExit FlashExitCode(const StationCounts& counts, bool boardsNamed);
