// One datagram socket bound to one local adapter's address.
#pragma once

#include <string>

#include "framework/AsyncSocket.h"

class CTarnwellDlg;

class CUDPDLSocket : public CAsyncSocket {
public:
    ~CUDPDLSocket() override = default;
    void OnReceive(int nErrorCode) override;

    BYTE m_bCreated = FALSE;
    std::wstring m_strAddress;
    std::wstring m_strMask;
    int m_nIndex = 0;
    CTarnwellDlg* m_pDlg = nullptr;
};
