#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "FakeDownloadHost.h"
#include "FakeFirmwareFile.h"

// How a board's acks look: opcode and status only; a header of zeros; the
// request's header echoed; the header with a fixed sequence (FakeBoard::fixedSequence);
// the header echoed with length 0.
enum class AckForm { Short, ZeroHeader, Echo, FixedSequence, NoLength };

// What a board does to the transmissions of one request, keyed by (opcode, sequence).
struct BoardFault {
    int drop = 0;              // the first `drop` transmissions are lost on the way
    std::uint64_t lateMs = 0;  // the first answered one is answered this late
    bool nack = false;
    std::uint64_t twiceMs = 0; // answered twice, the copy this much later (0: once)
    int lostAcks = 0;          // the first `lostAcks` answers are lost on the way back
};

// A board that assembles what it is sent and answers as told.
struct FakeBoard {
    AckForm form = AckForm::Short;
    std::uint32_t fixedSequence = 0;
    bool silent = false;
    bool twice = false;        // every request answered twice
    int copies = 1;            // every request answered this many times
    bool shortRefusals = false; // its negative acks are 2 bytes, whatever its form
    std::uint64_t replyMs = 1; // how long a board takes to answer
    std::map<std::pair<int, std::uint32_t>, BoardFault> faults;

    std::string fileName;
    std::vector<std::uint8_t> image;
    std::uint32_t blocks = 0;
    int gaps = 0; // data blocks that were neither the next one nor a repeat of the last
    int reboots = 0;
    std::map<std::pair<int, std::uint32_t>, int> transmissions;
};

// Drives a DownloadSequencer against fake boards on one queue with a fake
// clock: posted messages first, then replies and the timer in time order.
class SequencerBench {
public:
    FakeDownloadHost host;
    FakeFirmwareFile file;
    DownloadSequencer sequencer{host, file};
    std::map<std::wstring, FakeBoard> boards;
    int overlaps = 0; // moments with two steps queued, or a request sent while another was out
    // Replies the sequencer took as the answer to a data block, by board.
    std::map<std::wstring, std::vector<std::pair<std::uint32_t, BoardReply>>> taken;
    std::map<std::wstring, int> refusalsWhileServed; // negative acks that reached it during its turn

    SequencerBench();
    bool Start(std::size_t fileSize, const std::vector<std::wstring>& ips, const std::string& name = "dal_arm_fw.bin");
    void Run();
    void Reply(const std::wstring& ip, std::vector<std::uint8_t> bytes, std::uint64_t delayMs = 1);
    std::vector<FakeDownloadHost::Sent> SentTo(const std::wstring& ip, std::uint8_t opcode) const;
    // What one board was sent, e.g. "N23 D0:512 D1:504 R8" (name, data sequence:size, reboot).
    std::string Trace(const std::wstring& ip) const;

private:
    void OnSend(const FakeDownloadHost::Sent& sent);
    std::multimap<std::uint64_t, std::pair<std::wstring, std::vector<std::uint8_t>>> m_replies;
};
