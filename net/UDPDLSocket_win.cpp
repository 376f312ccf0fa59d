#include "net/UDPDLSocket_win.h"

#include "ui/TarnwellDlg.h"

void CUDPDLSocket::OnReceive(int nErrorCode)
{
    if (nErrorCode == 0 && m_pDlg)
        m_pDlg->HandleReply(m_nIndex);
    CAsyncSocket::OnReceive(nErrorCode);
}

void CUDPDLSocket::Close()
{
    CAsyncSocket::Close();
    m_nBroadcast = -1;
}

void CUDPDLSocket::SetBroadcast(bool on)
{
    int value = on ? 1 : 0;
    if (value == m_nBroadcast)
        return;
    if (SetSockOpt(SO_BROADCAST, &value, sizeof value))
        m_nBroadcast = value;
}
