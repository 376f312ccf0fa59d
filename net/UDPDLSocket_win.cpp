#include "net/UDPDLSocket_win.h"

#include "ui/TarnwellDlg.h"

void CUDPDLSocket::OnReceive(int nErrorCode)
{
    if (nErrorCode == 0 && m_pDlg)
        m_pDlg->HandleReply(m_nIndex);
    CAsyncSocket::OnReceive(nErrorCode);
}
