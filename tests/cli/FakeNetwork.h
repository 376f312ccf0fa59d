#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cli/IClock.h"
#include "cli/platform/INetwork.h"

// Boards on a simulated network in simulated time: the clock moves only while
// the loop waits, straight to the next reply or to the end of the wait.
class FakeNetwork : public INetwork, public IClock {
public:
    enum class Fault { None, Silent, Mute, Nak };

    struct Board {
        std::wstring ip, name, mac;
        Fault fault = Fault::None;
        std::uint8_t nakOpcode = 0;  // with Fault::Nak
        std::uint32_t nakBlock = 0;  // with Fault::Nak and OP_DATA
        std::uint64_t delayMs = 2;   // from request to reply
        bool shortAcks = false;      // opcode and status only: no block number
        int copies = 1;              // each download request acknowledged this often
        std::string fileName;
        std::vector<std::uint8_t> image;
        bool rebooted = false;
        int downloadRequests = 0;
        std::uint64_t firstDownload = 0, lastDownload = 0; // times of its first and last download request
        std::uint64_t appearAt = 0;  // answers nothing before
        std::uint64_t awayMs = 0;    // after acknowledging its reboot: answers nothing for this long
        std::wstring renamed;        // after its reboot, the name it answers with, when not empty
        std::uint64_t rebootedAt = 0;
        int fileNames = 0;           // file-name requests it took
    };

    struct Sent {
        std::size_t adapter;
        std::wstring target; // empty for a broadcast
        std::vector<std::uint8_t> bytes;
        std::uint64_t time;
    };

    std::vector<AdapterAddress> m_adapters{{L"192.168.1.10", L"255.255.255.0"}};
    std::map<std::wstring, Board> m_boards;
    std::vector<Sent> m_sent;
    std::uint64_t m_now = 1000;
    std::uint64_t m_wallBase = 1700000000000; // 2023-11-14T22:13:20Z at m_now 0
    std::uint64_t m_wakeAt = ~std::uint64_t{0}; // a wait ends here at the latest, as an interrupt ends it

    Board& AddBoard(const std::wstring& ip, const std::wstring& name);
    // The most boards that had a download going at one moment.
    int MostBoardsAtOnce() const;

    const std::vector<AdapterAddress>& Adapters() const override { return m_adapters; }
    bool SendFrom(std::size_t adapter, std::uint32_t target, const std::uint8_t* data, int length) override;
    void Wait(std::uint64_t timeoutMs, std::vector<Datagram>& received) override;
    std::uint64_t NowMs() override { return m_now; }
    std::uint64_t WallMs() override { return m_wallBase + m_now; }

private:
    struct Pending {
        std::uint64_t due;
        Datagram datagram;
    };

    void Answer(Board& board, const std::uint8_t* data, int length);
    void Reply(const Board& board, std::vector<std::uint8_t> bytes);
    bool InSubnet(std::size_t adapter, const std::wstring& ip) const;
    void Broadcast(std::size_t adapter, const std::uint8_t* data, int length);

    std::vector<Pending> m_pending;
};
