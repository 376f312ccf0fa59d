#include "ui/PingList.h"

#include "framework/DataExchange.h"
#include "res/resource.h"

IMPLEMENT_DYNAMIC(CPingList, CDialog)

BEGIN_MESSAGE_MAP(CPingList, CDialog)
END_MESSAGE_MAP()

CPingList::CPingList() : CDialog(IDD_PING_LIST, nullptr)
{
}

void CPingList::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_IP_LIST, m_strList);
}
