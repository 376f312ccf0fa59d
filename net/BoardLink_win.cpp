// The adapter sockets: enumeration, lazy creation and the two ways a datagram leaves.
#include "framework/Win32.h"

#include <vector>

#include "net/AdapterList_win.h"
#include "net/BoardLink_win.h"
#include "net/IPv4.h"

namespace {

// Replies come in bursts (every board answers a broadcast at once); a large
// receive buffer keeps them until the window gets to each one.
constexpr int RECEIVE_BUFFER_BYTES = 4 * 1024 * 1024;

}  // namespace

// The window's rule, fixed by design: the first address of each adapter as
// the system lists it, 0.0.0.0 included, the first MAX_ADAPTERS of them. When
// the system cannot list its adapters, the ones recorded stay.
void CBoardLink::EnumerateAdapters()
{
    std::vector<AdapterAddress> adapters;
    if (ListAdapterAddresses(FIRST_ADDRESS_OF_EACH, adapters))
        UseAdapters(adapters);
}

void CBoardLink::UseAdapters(const std::vector<AdapterAddress>& adapters)
{
    m_nAdapters = 0;
    for (const AdapterAddress& a : adapters) {
        if (m_nAdapters == MAX_ADAPTERS)
            break;
        m_sockets[m_nAdapters].Assign(static_cast<int>(m_nAdapters), a.m_strAddress, a.m_strMask, &m_sink);
        ++m_nAdapters;
    }
}

// Each socket is tried once; one that failed stays failed for the run.
void CBoardLink::CreateSockets()
{
    for (std::uint32_t i = 0; i < m_nAdapters; ++i) {
        CUDPDLSocket& s = m_sockets[i];
        if (s.IsCreated())
            continue;
        if (s.Create(0, SOCK_DGRAM, FD_READ | FD_WRITE, s.Address().c_str())) {
            int bytes = RECEIVE_BUFFER_BYTES;
            s.SetSockOpt(SO_RCVBUF, &bytes, sizeof bytes);
        }
        s.MarkCreated();
    }
}

void CBoardLink::SendToAllAdapters(const std::uint8_t* packet)
{
    CreateSockets();
    for (std::uint32_t i = 0; i < m_nAdapters; ++i) {
        m_sockets[i].SetBroadcast(true);
        m_sockets[i].SendTo(packet, BOARD_HEADER_SIZE, BOARD_PORT, nullptr, 0);
    }
}

bool CBoardLink::SendToBoard(const std::wstring& target, const std::uint8_t* packet, int length)
{
    CreateSockets();
    std::vector<AdapterAddress> adapters(m_nAdapters);
    for (std::uint32_t i = 0; i < m_nAdapters; ++i)
        adapters[i] = {m_sockets[i].Address(), m_sockets[i].Mask()};
    // A typed address is read once, in decimal: the address that chose the
    // adapter is the one asked (the socket's own reading takes a leading 0 as
    // octal). Text that is no dotted address goes on as it is.
    const std::optional<std::uint32_t> dotted = ParseDottedAddress(target);
    int chosen = dotted ? ChooseAdapter(adapters, *dotted) : ChooseAdapter(adapters, target);
    if (chosen < 0)
        return false;
    const std::wstring destination = dotted ? FormatAddress(*dotted) : target;
    CUDPDLSocket& s = m_sockets[chosen];
    s.SetBroadcast(false);
    return s.SendTo(packet, length, BOARD_PORT, destination.c_str(), 0) == length;
}

void CBoardLink::CloseSockets()
{
    for (std::uint32_t i = 0; i < m_nAdapters; ++i) {
        if (m_sockets[i].IsCreated())
            m_sockets[i].Close();
    }
}
