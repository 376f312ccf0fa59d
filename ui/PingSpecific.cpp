#include "ui/PingSpecific.h"

#include "framework/DataExchange.h"
#include "res/resource.h"

IMPLEMENT_DYNAMIC(CPingSpecific, CDialog)

BEGIN_MESSAGE_MAP(CPingSpecific, CDialog)
END_MESSAGE_MAP()

CPingSpecific::CPingSpecific() : CDialog(IDD_PING_SPECIFIC, nullptr)
{
}

void CPingSpecific::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_IPAddress(pDX, IDC_IP_ADDRESS, m_dwAddress);
}
