// The main window's adapter sockets: enumeration, lazy creation, the two ways a
// datagram leaves, and the receiving half of the reply handler.
#include "framework/Win32.h"

#include <iphlpapi.h>

#include <vector>

#include "net/IPv4.h"
#include "net/TextCodec.h"
#include "ui/TarnwellDlg.h"

namespace {

// Replies come in bursts (every board answers a broadcast at once); a large
// receive buffer keeps them until the window gets to each one.
constexpr int RECEIVE_BUFFER_BYTES = 4 * 1024 * 1024;

}  // namespace

void CTarnwellDlg::EnumerateAdapters()
{
    ULONG size = 0;
    std::vector<BYTE> buffer;
    if (::GetAdaptersInfo(nullptr, &size) == ERROR_BUFFER_OVERFLOW)
        buffer.resize(size);
    auto* info = buffer.empty() ? nullptr : reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    if (::GetAdaptersInfo(info, &size) != NO_ERROR)
        return;
    m_nAdapters = 0;
    for (IP_ADAPTER_INFO* a = info; a && m_nAdapters < MAX_ADAPTERS; a = a->Next) {
        CUDPDLSocket& s = m_sockets[m_nAdapters];
        s.m_strAddress = AnsiToWide(a->IpAddressList.IpAddress.String);
        s.m_strMask = AnsiToWide(a->IpAddressList.IpMask.String);
        s.m_nIndex = static_cast<int>(m_nAdapters);
        s.m_pDlg = this;
        ++m_nAdapters;
    }
}

// Each socket is tried once; one that failed stays failed for the run.
void CTarnwellDlg::CreateSockets()
{
    for (std::uint32_t i = 0; i < m_nAdapters; ++i) {
        CUDPDLSocket& s = m_sockets[i];
        if (s.m_bCreated)
            continue;
        if (s.Create(0, SOCK_DGRAM, FD_READ | FD_WRITE, s.m_strAddress.c_str())) {
            int bytes = RECEIVE_BUFFER_BYTES;
            s.SetSockOpt(SO_RCVBUF, &bytes, sizeof bytes);
        }
        s.m_bCreated = TRUE;
    }
}

void CTarnwellDlg::SendToAllAdapters(const std::uint8_t* packet)
{
    CreateSockets();
    for (std::uint32_t i = 0; i < m_nAdapters; ++i) {
        m_sockets[i].SetBroadcast(true);
        m_sockets[i].SendTo(packet, BOARD_HEADER_SIZE, BOARD_PORT, nullptr, 0);
    }
}

bool CTarnwellDlg::SendToBoard(const std::wstring& target, const std::uint8_t* packet, int length)
{
    CreateSockets();
    std::vector<AdapterAddress> adapters(m_nAdapters);
    for (std::uint32_t i = 0; i < m_nAdapters; ++i)
        adapters[i] = {m_sockets[i].m_strAddress, m_sockets[i].m_strMask};
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

void CTarnwellDlg::HandleReply(int index)
{
    std::uint8_t buffer[REPLY_BUFFER_SIZE];
    std::wstring sender;
    UINT port = 0;
    int n = m_sockets[index].ReceiveFrom(buffer, REPLY_BUFFER_SIZE, sender, port, 0);
    if (n <= 0)
        return;
    BoardReply reply;
    if (!ReadBoardReply(buffer, static_cast<std::size_t>(n), reply))
        return;
    if (reply.opcode == OP_DISCOVER)
        OnDiscoveryReply(reply, sender);
    else
        m_sequencer.OnAck(reply, sender);
}

void CTarnwellDlg::CloseSockets()
{
    for (std::uint32_t i = 0; i < m_nAdapters; ++i) {
        if (m_sockets[i].m_bCreated)
            m_sockets[i].Close();
    }
}
