#include "Simulator.h"

#include "RequestLog.h"

#include <set>
#include <utility>

namespace boardsim {

Simulator::Simulator(const std::vector<BoardConfig>& configs, const ImageStore& store)
{
    m_boards.reserve(configs.size());
    for (std::size_t i = 0; i < configs.size(); ++i) {
        m_boards.emplace_back(i, configs[i], store);
        m_byAddress.emplace(configs[i].ip, i);
        m_all.push_back(i);
    }
}

void Simulator::SetInterfaces(std::vector<LocalAddress> addresses)
{
    m_addresses = std::move(addresses);
    m_boardsOn.clear();
}

bool Simulator::IsBroadcast(std::uint32_t dst) const
{
    if (dst == 0xffffffffu)
        return true;
    for (const auto& a : m_addresses)
        if (a.mask != 0xffffffffu && dst == (a.addr | ~a.mask))
            return true;
    return false;
}

const std::vector<std::size_t>& Simulator::BoardsOn(int ifindex)
{
    const auto found = m_boardsOn.find(ifindex);
    if (found != m_boardsOn.end())
        return found->second;
    std::set<std::pair<std::uint32_t, std::uint32_t>> subnets;
    for (const auto& a : m_addresses)
        if (a.ifindex == ifindex)
            subnets.emplace(a.addr & a.mask, a.mask);
    std::vector<std::size_t> boards;
    for (std::size_t i = 0; i < m_boards.size(); ++i) {
        const std::uint32_t ip = m_boards[i].Config().ip;
        for (const auto& [net, mask] : subnets) {
            if ((ip & mask) == net) {
                boards.push_back(i);
                break;
            }
        }
    }
    return m_boardsOn.emplace(ifindex, std::move(boards)).first->second;
}

void Simulator::FromBoardSocket(std::size_t board, const Datagram& d, std::vector<Outgoing>& out)
{
    Board& b = m_boards[board];
    b.Receive(d, out);
    if (m_log != nullptr)
        m_log->Request(b, b.Requests().back());
}

void Simulator::FromListener(const Datagram& d, int ifindex, std::vector<Outgoing>& out)
{
    const std::vector<std::size_t>* targets = nullptr;
    std::vector<std::size_t> unicast;
    if (d.broadcast) {
        targets = m_broadcastToAll ? &m_all : &BoardsOn(ifindex);
    } else {
        // Normally the board's own socket takes its unicast; this covers a board address the listener sees first.
        const auto found = m_byAddress.find(d.dst);
        if (found != m_byAddress.end())
            unicast.push_back(found->second);
        targets = &unicast;
    }
    if (targets->empty()) {
        StrayRecord stray;
        stray.t = d.now;
        stray.opcode = d.size > 0 ? d.data[0] : 0;
        stray.size = static_cast<std::uint32_t>(d.size);
        stray.from = d.from;
        stray.dst = d.dst;
        stray.broadcast = d.broadcast;
        stray.ifindex = ifindex;
        m_strays.push_back(stray);
        if (m_log != nullptr)
            m_log->Stray(stray);
        return;
    }
    const std::size_t count = targets->size();
    for (std::size_t n = 0; n < count; ++n) {
        const std::size_t first = out.size();
        FromBoardSocket((*targets)[n], d, out);
        if (m_spread != 0)
            for (std::size_t k = first; k < out.size(); ++k)
                out[k].due += m_spread * n / count;
    }
}

void Simulator::Finish(Micros now)
{
    for (auto& b : m_boards)
        b.Finish(now);
}

std::size_t Simulator::FlagCount() const
{
    std::size_t count = 0;
    for (const auto& b : m_boards)
        count += b.Flags().size();
    return count;
}

}  // namespace boardsim
