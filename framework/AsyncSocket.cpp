#include "framework/AsyncSocket.h"

#include <cwchar>
#include <vector>

#include "framework/CallbackGuard.h"

namespace {

constexpr UINT WM_SOCKET_NOTIFY = WM_APP + 0x100;

// The sockets of this process with their notification window. Everything runs on
// the one thread that creates sockets, so no lock is needed.
struct SocketSink {
    HWND hWnd = nullptr;
    std::vector<CAsyncSocket*> sockets;

    CAsyncSocket* Find(SOCKET s) const
    {
        for (CAsyncSocket* p : sockets) {
            if (p->m_hSocket == s)
                return p;
        }
        return nullptr;
    }
};

SocketSink g_sink;

LRESULT DispatchSocketNotify(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_SOCKET_NOTIFY)
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    // A notification can still be queued for a socket that was closed since: ignore it.
    CAsyncSocket* socket = g_sink.Find(static_cast<SOCKET>(wParam));
    if (!socket)
        return 0;
    // Only reads are taken: a datagram socket is always ready to send.
    if (WSAGETSELECTEVENT(lParam) == FD_READ)
        socket->OnReceive(WSAGETSELECTERROR(lParam));
    return 0;
}

LRESULT CALLBACK SinkProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return GuardCallback([&] { return DispatchSocketNotify(hWnd, message, wParam, lParam); });
}

HWND SinkWindow()
{
    if (g_sink.hWnd)
        return g_sink.hWnd;
    HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = SinkProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = L"TarnwellSocketSink";
    ::RegisterClassW(&wc);
    g_sink.hWnd = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, hInstance, nullptr);
    return g_sink.hWnd;
}

std::string Narrow(const wchar_t* text)
{
    std::string out;
    for (; text && *text; ++text)
        out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    return out;
}

}  // namespace

CAsyncSocket::~CAsyncSocket()
{
    if (m_hSocket != INVALID_SOCKET)
        CAsyncSocket::Close();
}

BOOL CAsyncSocket::Create(UINT nSocketPort, int nSocketType, long lEvent, const wchar_t* lpszSocketAddress)
{
    SOCKET s = ::socket(AF_INET, nSocketType, 0);
    if (s == INVALID_SOCKET)
        return FALSE;
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<u_short>(nSocketPort));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (lpszSocketAddress && *lpszSocketAddress) {
        std::string text = Narrow(lpszSocketAddress);
        local.sin_addr.s_addr = ::inet_addr(text.c_str());
        if (local.sin_addr.s_addr == INADDR_NONE) {
            ::closesocket(s);
            return FALSE;
        }
    }
    if (::bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::closesocket(s);
        return FALSE;
    }
    HWND hWnd = SinkWindow();
    if (!hWnd || ::WSAAsyncSelect(s, hWnd, WM_SOCKET_NOTIFY, lEvent) != 0) {
        ::closesocket(s);
        return FALSE;
    }
    m_hSocket = s;
    g_sink.sockets.push_back(this);
    return TRUE;
}

int CAsyncSocket::SendTo(const void* lpBuf, int nBufLen, UINT nHostPort, const wchar_t* lpszHostAddress, int nFlags)
{
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(nHostPort));
    if (!lpszHostAddress || !*lpszHostAddress) {
        to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    } else {
        std::string host = Narrow(lpszHostAddress);
        to.sin_addr.s_addr = ::inet_addr(host.c_str());
        if (to.sin_addr.s_addr == INADDR_NONE) {
            // Not a dotted address: try it as a host name.
            addrinfo hints = {};
            hints.ai_family = AF_INET;
            hints.ai_socktype = SOCK_DGRAM;
            addrinfo* found = nullptr;
            if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) {
                ::WSASetLastError(WSAEINVAL);
                return SOCKET_ERROR;
            }
            to.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
            ::freeaddrinfo(found);
        }
    }
    return ::sendto(m_hSocket, static_cast<const char*>(lpBuf), nBufLen, nFlags, reinterpret_cast<sockaddr*>(&to),
                    sizeof to);
}

int CAsyncSocket::ReceiveFrom(void* lpBuf, int nBufLen, std::wstring& rSocketAddress, UINT& rSocketPort, int nFlags)
{
    sockaddr_in from = {};
    int fromLen = sizeof from;
    int n = ::recvfrom(m_hSocket, static_cast<char*>(lpBuf), nBufLen, nFlags, reinterpret_cast<sockaddr*>(&from),
                       &fromLen);
    if (n >= 0) {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(&from.sin_addr);
        wchar_t text[16];
        std::swprintf(text, 16, L"%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
        rSocketAddress = text;
        rSocketPort = ntohs(from.sin_port);
    }
    return n;
}

BOOL CAsyncSocket::SetSockOpt(int nOptionName, const void* lpOptionValue, int nOptionLen, int nLevel)
{
    return ::setsockopt(m_hSocket, nLevel, nOptionName, static_cast<const char*>(lpOptionValue), nOptionLen) == 0;
}

// Stops the notifications before the handle goes, so none arrives for a reused handle.
void CAsyncSocket::Close()
{
    if (m_hSocket == INVALID_SOCKET)
        return;
    if (g_sink.hWnd)
        ::WSAAsyncSelect(m_hSocket, g_sink.hWnd, 0, 0);
    ::closesocket(m_hSocket);
    for (auto it = g_sink.sockets.begin(); it != g_sink.sockets.end(); ++it) {
        if (*it == this) {
            g_sink.sockets.erase(it);
            break;
        }
    }
    m_hSocket = INVALID_SOCKET;
}

void CAsyncSocket::OnReceive(int)
{
}
