#include "net/UDPDLSocket_win.h"

#include <cstdint>

#include "net/BoardPacket.h"
#include "net/IReplySink.h"

void CUDPDLSocket::Assign(int index, const std::wstring& address, const std::wstring& mask, IReplySink* sink)
{
    m_nIndex = index;
    m_strAddress = address;
    m_strMask = mask;
    m_pSink = sink;
}

// The socket reads the datagram itself and hands its bytes on, so nothing
// has to reach back into it.
void CUDPDLSocket::OnReceive(int nErrorCode)
{
    if (nErrorCode == 0 && m_pSink) {
        std::uint8_t buffer[REPLY_BUFFER_SIZE];
        std::wstring sender;
        UINT port = 0;
        int n = ReceiveFrom(buffer, REPLY_BUFFER_SIZE, sender, port, 0);
        if (n > 0)
            m_pSink->OnDatagram(buffer, static_cast<std::size_t>(n), sender);
    }
    CAsyncSocket::OnReceive(nErrorCode);
}

void CUDPDLSocket::Close()
{
    CAsyncSocket::Close();
    m_broadcast.Forget();
}

void CUDPDLSocket::SetBroadcast(bool on)
{
    m_broadcast.Use(on, [this](bool value) {
        int option = value ? 1 : 0;
        return SetSockOpt(SO_BROADCAST, &option, sizeof option) != FALSE;
    });
}
