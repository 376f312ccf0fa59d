// One datagram socket bound to one local adapter's address.
#pragma once

#include <string>

#include "framework/AsyncSocket.h"
#include "net/BroadcastSwitch.h"

class IReplySink;

class CUDPDLSocket : public CAsyncSocket {
public:
    ~CUDPDLSocket() override = default;
    // Gives the socket its adapter and where its datagrams go; before Create.
    void Assign(int index, const std::wstring& address, const std::wstring& mask, IReplySink* sink);
    void OnReceive(int nErrorCode) override;
    void Close() override;
    // Switches broadcasting on or off; the option is set only when it changes.
    void SetBroadcast(bool on);

    const std::wstring& Address() const { return m_strAddress; }
    const std::wstring& Mask() const { return m_strMask; }
    bool IsCreated() const { return m_bCreated != FALSE; }
    void MarkCreated() { m_bCreated = TRUE; }

private:
    BYTE m_bCreated = FALSE;  // creation was tried, whatever came of it
    std::wstring m_strAddress;
    std::wstring m_strMask;
    int m_nIndex = 0;
    IReplySink* m_pSink = nullptr;
    BroadcastSwitch m_broadcast;
};
