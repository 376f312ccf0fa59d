// Non-blocking socket whose events arrive as window messages on the thread
// that created it (WSAAsyncSelect onto a hidden window of that thread).
#pragma once

#include <string>

#include "framework/Win32.h"

class CAsyncSocket {
public:
    CAsyncSocket() = default;
    virtual ~CAsyncSocket();
    CAsyncSocket(const CAsyncSocket&) = delete;
    CAsyncSocket& operator=(const CAsyncSocket&) = delete;

    // Creates a socket bound to the given local address text (any address when
    // empty) and port, with the given events delivered as notifications.
    BOOL Create(UINT nSocketPort = 0, int nSocketType = SOCK_DGRAM, long lEvent = FD_READ | FD_WRITE,
                const wchar_t* lpszSocketAddress = nullptr);
    // Sends one datagram; with no host text it goes to the limited broadcast address.
    int SendTo(const void* lpBuf, int nBufLen, UINT nHostPort, const wchar_t* lpszHostAddress = nullptr, int nFlags = 0);
    // Takes one waiting datagram; gives the sender's dotted address text and port.
    int ReceiveFrom(void* lpBuf, int nBufLen, std::wstring& rSocketAddress, UINT& rSocketPort, int nFlags = 0);
    BOOL SetSockOpt(int nOptionName, const void* lpOptionValue, int nOptionLen, int nLevel = SOL_SOCKET);
    virtual void Close();

    virtual void OnReceive(int nErrorCode);

    SOCKET m_hSocket = INVALID_SOCKET;
};
