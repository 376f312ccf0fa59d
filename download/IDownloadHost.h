#pragma once

#include <cstdint>
#include <string>

enum class SequencerMessage { SendFileName = 1, SendData = 2, SendReboot = 3, NextBoard = 4 }; // WM_APP + value

enum class BoardOutcome { Rebooted, NoReply, NegativeAck, FileError, HeldElsewhere, OutOfStep };

constexpr std::uint64_t NO_DEADLINE = ~std::uint64_t{0};

// A positive acknowledgement of a data block.
struct BlockAcked {
    int board = 0;               // position in the download's board list
    std::uint32_t block = 0;     // its sequence number
    std::uint64_t delivered = 0; // bytes of the file acknowledged so far
    std::uint64_t total = 0;     // the file's length
    int percent = 0;             // delivered of total, as the bar shows it
    std::uint64_t at = 0;        // when, by the download's clock
};

// How one board's turn ended.
struct BoardEnd {
    int board = 0;
    std::wstring address;
    BoardOutcome outcome = BoardOutcome::NoReply;
    std::uint8_t opcode = 0;   // request it ended at; 0 after the reboot ack
    std::uint32_t block = 0;   // with OP_DATA: the block
    // Served, but its acks carry no usable block number, so its image is not
    // known to be whole.
    bool unconfirmed = false;
    int passes = 1; // 2 when it was started over after its acks went out of step
    bool rebootSent = false; // in its last pass; out of step can show after the last block
};

// What the download needs from its shell (a queue, one timer for its deadline,
// the board link) and the facts it reports as they happen.
class IDownloadHost {
public:
    virtual ~IDownloadHost() = default;
    virtual std::uint64_t NowMs() = 0;
    virtual void PostSequencerMessage(SequencerMessage message) = 0; // posted, never run inline
    // The core's next deadline moved to `deadlineMs`; the shell calls OnTick then
    // (an earlier tick does no harm). NO_DEADLINE: nothing is awaited.
    virtual void ScheduleTick(std::uint64_t deadlineMs) = 0;
    virtual bool SendToBoard(const std::wstring& ip, const std::uint8_t* data, int length) = 0;
    // Claims the board for this program while it is served; false when another program holds it.
    virtual bool TakeBoard(const std::wstring&) { return true; }
    virtual void ReleaseBoard(const std::wstring&) {}

    virtual void OnDownloadStarted(const std::wstring&) {} // the file's path
    virtual void OnOpenFailed(const std::wstring&) {}
    virtual void OnBoardStarted(int, const std::wstring&) {} // position, address
    virtual void OnRetrying(int, const std::wstring&, std::uint8_t) {} // position, address, opcode
    virtual void OnRebootSent(int, const std::wstring&) {}
    // Its acks went out of step at data block `block`; it starts over from the file name.
    virtual void OnBoardRestarted(int, const std::wstring&, std::uint32_t) {}
    virtual void OnBlockAcked(const BlockAcked&) {}
    virtual void OnBoardFinished(const BoardEnd&) {}
    virtual void OnDownloadEnded() {}
};
