#pragma once

#include <cstdint>
#include <string>

#include "cli/platform/INetwork.h"

// The two ways a datagram leaves: a discovery broadcast from every adapter,
// and a unicast from the adapter whose subnet holds the board.
class BoardLink {
public:
    explicit BoardLink(INetwork& network);

    int BroadcastDiscovery(); // adapters it left from
    bool SendDiscovery(const std::wstring& ip);
    bool SendToBoard(const std::wstring& ip, const std::uint8_t* data, int length);
    int BroadcastAdapterCount() const;

private:
    INetwork& m_network;
};

bool IsLoopbackAdapter(const AdapterAddress& adapter);
