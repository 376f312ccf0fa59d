#pragma once

#include <cstdint>
#include <string>

enum class SequencerMessage { SendFileName = 1, SendData = 2, SendReboot = 3, NextBoard = 4 }; // WM_APP + value

enum class BoardOutcome { Rebooted, NoReply, NegativeAck, FileError, HeldElsewhere };

// What the download needs from its window: a message queue, one timer, the
// board link, the status log and the progress bar.
class IDownloadHost {
public:
    virtual ~IDownloadHost() = default;
    virtual void PostSequencerMessage(SequencerMessage message) = 0; // posted, never run inline
    virtual void StartRetryTimer() = 0; // (re)starts the RETRY_TIMEOUT_MS period
    virtual void StopRetryTimer() = 0;
    virtual bool SendToBoard(const std::wstring& ip, const std::uint8_t* data, int length) = 0;
    virtual void ClearLog() = 0;
    virtual void LogLine(const std::wstring& line) = 0; // line carries its "\r\n"
    virtual void SetProgressPos(int position) = 0;
    virtual void SetProgressRange(int maximum) = 0;
    // Whether the bar may move now; a host whose bar is slow to repaint spaces the moves out.
    virtual bool ProgressMayMove() { return true; }
    virtual void SetReady(bool ready) = 0;
    // Claims the board for this program while it is served; false when another program holds it.
    virtual bool TakeBoard(const std::wstring&) { return true; }
    virtual void ReleaseBoard(const std::wstring&) {}
    // Position in the download's board list; opcode of the request that failed, 0 after a reboot ack.
    virtual void OnBoardFinished(int, BoardOutcome, std::uint8_t) {}
};
