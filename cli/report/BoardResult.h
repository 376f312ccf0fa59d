#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/commands/ExitCode.h"
#include "cli/lanes/IFlashObserver.h"
#include "discovery/DiscoveryText.h"

// NotConfirmed: rebooted, but its acks could not prove the image, and proof
// was asked for (--require-confirmed); a failure.
enum class ResultKind { Ok, NoReply, NegativeAck, FileError, Skipped, Busy, Interrupted, NotStarted, OutOfStep, NotConfirmed };

// What became of one board of a flash command.
struct BoardResult {
    BoardList m_board;
    ResultKind m_kind = ResultKind::NoReply;
    std::uint8_t m_nOpcode = 0; // the request it ended at; OP_DISCOVER when it never answered discovery
    std::uint32_t m_nBlock = 0; // with OP_DATA: the block
    std::uint32_t m_nBlocks = 0; // interrupted: the image's blocks
    std::wstring m_strLabel;    // skipped: the board label its name lacks
    bool m_bUnconfirmed = false; // rebooted, but its acks could not show that every block arrived
    std::uint32_t m_nAcked = 0;  // data blocks acknowledged, both passes counted
    int m_nPasses = 0;           // conversations from the file name: 0 never contacted, 2 started over
    bool m_bRebootSent = false;  // out of step: the reboot request had gone out in its last pass
};

struct ResultCounts {
    int boards = 0, ok = 0, failed = 0, skipped = 0;
    int unconfirmed = 0;                 // of the ok: acks that could not prove the image
    int unanswered = 0;                  // of the failed: named boards that never answered discovery
    int interrupted = 0, notStarted = 0; // cut short by an interrupt
};

// `requireConfirmed`: a reboot its acks could not prove is a failure.
BoardResult ResultOfDownload(const BoardList& board, const DownloadEnd& end, bool requireConfirmed = false);
// Rebooted, and every data ack named its own block of a board that echoes them.
bool IsConfirmed(const BoardResult& result);
std::wstring DescribeResult(const BoardResult& result);   // "ok", "no reply to data block 3", ...
// Address TAB result TAB name; the name decoded and escaped, so the line is one line.
std::wstring FormatResultLine(const BoardResult& result);
ResultCounts CountResults(const std::vector<BoardResult>& results);
std::wstring FormatSummary(const ResultCounts& counts, std::uint64_t elapsedMs);
// Named boards must all be flashed; with --all, boards of another kind are no failure.
CliExit FlashExitCode(const std::vector<BoardResult>& results, bool boardsNamed);
// For JSON and the record: ok, no-reply, nak, file-error, skipped, busy, interrupted, not-started, out-of-step
// (a reboot that --require-confirmed fails is still "ok": the board was rebooted).
const char* ResultKeyword(ResultKind kind);
const char* RequestKeyword(std::uint8_t opcode); // discover, filename, data, reboot, or ""
