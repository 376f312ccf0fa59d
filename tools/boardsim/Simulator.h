// All simulated boards of one run, and the choice of which of them a datagram is for.
#pragma once

#include "Board.h"
#include "ImageStore.h"
#include "Traffic.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace boardsim {

// One IPv4 address of a local interface.
struct LocalAddress {
    int ifindex = 0;
    std::string ifname;
    std::uint32_t addr = 0;
    std::uint32_t mask = 0;
};

class RequestLog;

class Simulator {
public:
    Simulator(const std::vector<BoardConfig>& configs, const ImageStore& store);

    void SetInterfaces(std::vector<LocalAddress> addresses);
    // Every board answers every broadcast, whichever interface it came in on.
    void SetBroadcastToAll(bool all) { m_broadcastToAll = all; }
    // Spreads the replies to one broadcast evenly over this time instead of sending them at once.
    void SetBroadcastSpread(Micros spread) { m_spread = spread; }
    void SetLog(RequestLog* log) { m_log = log; }

    // A datagram that arrived on the socket of board i.
    void FromBoardSocket(std::size_t board, const Datagram& d, std::vector<Outgoing>& out);
    // A datagram that arrived on the shared listener, with the interface it came in on.
    void FromListener(const Datagram& d, int ifindex, std::vector<Outgoing>& out);
    void Finish(Micros now);

    bool IsBroadcast(std::uint32_t dst) const;
    std::size_t BoardCount() const { return m_boards.size(); }
    const Board& BoardAt(std::size_t i) const { return m_boards[i]; }
    const std::vector<StrayRecord>& Strays() const { return m_strays; }
    std::size_t FlagCount() const;

private:
    // Boards whose address lies in a subnet configured on the interface: the boards on that network segment.
    const std::vector<std::size_t>& BoardsOn(int ifindex);

    std::vector<Board> m_boards;
    std::unordered_map<std::uint32_t, std::size_t> m_byAddress;
    std::vector<LocalAddress> m_addresses;
    std::unordered_map<int, std::vector<std::size_t>> m_boardsOn;
    std::vector<std::size_t> m_all;
    bool m_broadcastToAll = false;
    Micros m_spread = 0;
    RequestLog* m_log = nullptr;
    std::vector<StrayRecord> m_strays;
};

}  // namespace boardsim
