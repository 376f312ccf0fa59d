#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/IPv4.h"

constexpr std::uint32_t LIMITED_BROADCAST = 0xFFFFFFFFu;

struct Datagram {
    std::wstring m_strSender; // dotted text, as a board's address is compared
    std::vector<std::uint8_t> m_bytes;
};

// The workstation's end of the board link: one datagram socket per local IPv4
// address, bound to it; every datagram leaves through one of them.
class INetwork {
public:
    virtual ~INetwork() = default;
    virtual const std::vector<AdapterAddress>& Adapters() const = 0;
    // To BOARD_PORT at `target` (first octet in the top byte) from the adapter's
    // socket; broadcasting is switched on for LIMITED_BROADCAST only.
    virtual bool SendFrom(std::size_t adapter, std::uint32_t target, const std::uint8_t* data, int length) = 0;
    // Waits up to `timeoutMs` for a datagram, then appends what is waiting (all
    // of it, or as little as one datagram: the next call gets the rest);
    // datagrams longer than REPLY_BUFFER_SIZE are dropped.
    virtual void Wait(std::uint64_t timeoutMs, std::vector<Datagram>& received) = 0;
};
