// One datagram socket bound to one local adapter's address.
#pragma once

#include <string>

#include "framework/AsyncSocket.h"

class CTarnwellDlg;

class CUDPDLSocket : public CAsyncSocket {
public:
    ~CUDPDLSocket() override = default;
    void OnReceive(int nErrorCode) override;
    void Close() override;
    // Switches broadcasting on or off; the option is set only when it changes.
    void SetBroadcast(bool on);

    BYTE m_bCreated = FALSE;
    std::wstring m_strAddress;
    std::wstring m_strMask;
    int m_nIndex = 0;
    CTarnwellDlg* m_pDlg = nullptr;

private:
    int m_nBroadcast = -1;  // the SO_BROADCAST value last set, -1 before any
};
