// The adapter sockets: one a local IPv4 adapter, created when first needed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/BoardPacket.h"
#include "net/IPv4.h"
#include "net/UDPDLSocket_win.h"

class IReplySink;

class CBoardLink {
public:
    // Every socket hands what it receives to `sink`.
    explicit CBoardLink(IReplySink& sink) : m_sink(sink) {}
    CBoardLink(const CBoardLink&) = delete;
    CBoardLink& operator=(const CBoardLink&) = delete;

    // Records the machine's adapters, the first MAX_ADAPTERS of them.
    void EnumerateAdapters();
    // Records the given adapters instead, the first MAX_ADAPTERS of them.
    void UseAdapters(const std::vector<AdapterAddress>& adapters);
    void CreateSockets();
    void SendToAllAdapters(const std::uint8_t* packet);
    bool SendToBoard(const std::wstring& target, const std::uint8_t* packet, int length);
    void CloseSockets();

private:
    IReplySink& m_sink;
    CUDPDLSocket m_sockets[MAX_ADAPTERS];
    std::uint32_t m_nAdapters = 0;
};
