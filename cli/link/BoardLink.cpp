#include "cli/link/BoardLink.h"

#include "net/BoardPacket.h"

bool IsLoopbackAdapter(const AdapterAddress& adapter)
{
    return (ParseIPv4(adapter.m_strAddress) >> 24) == 127;
}

BoardLink::BoardLink(INetwork& network)
    : m_network(network)
{
}

// Loopback addresses serve unicasts only (a simulator on 127.0.0.x): a
// broadcast from a socket bound to one would be routed out of the machine's
// real interfaces with a source that no board can answer.
int BoardLink::BroadcastDiscovery()
{
    BoardPacket packet{};
    const int size = BuildDiscoverRequest(packet);
    int sent = 0;
    const std::vector<AdapterAddress>& adapters = m_network.Adapters();
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        if (!IsLoopbackAdapter(adapters[i]) && m_network.SendFrom(i, LIMITED_BROADCAST, packet.Data(), size))
            ++sent;
    }
    return sent;
}

bool BoardLink::SendDiscovery(const std::wstring& ip)
{
    BoardPacket packet{};
    const int size = BuildDiscoverRequest(packet);
    return SendToBoard(ip, packet.Data(), size);
}

bool BoardLink::SendToBoard(const std::wstring& ip, const std::uint8_t* data, int length)
{
    const int chosen = ChooseAdapter(m_network.Adapters(), ip);
    return chosen >= 0 && m_network.SendFrom(static_cast<std::size_t>(chosen), ParseIPv4(ip), data, length);
}

int BoardLink::BroadcastAdapterCount() const
{
    int count = 0;
    for (const AdapterAddress& adapter : m_network.Adapters())
        count += IsLoopbackAdapter(adapter) ? 0 : 1;
    return count;
}
