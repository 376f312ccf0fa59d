#pragma once

#include <cstdint>
#include <string>

#include "download/IDownloadHost.h"

// How a download ended for one board: the sequencer's outcome, the request
// it ended at (0 after the reboot ack) and, for a data request, its block.
struct DownloadEnd {
    BoardOutcome m_outcome = BoardOutcome::NoReply;
    std::uint8_t m_nOpcode = 0;
    std::uint32_t m_nBlock = 0;
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
};
