// The adapter sockets on loopback: a request leaves through the adapter whose
// subnet holds the target, and only replies of 1 to 600 bytes reach the unit list.
#include <gtest/gtest.h>

#include <vector>

#include "tests/win/TarnwellDlgProbe.h"
#include "tests/win/WinTestSupport.h"

namespace {

// A board on 127.0.0.2:2016 (or another loopback address) played by the test itself.
class LoopbackBoard {
public:
    explicit LoopbackBoard(const char* address = "127.0.0.2")
    {
        m_socket = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in at = {};
        at.sin_family = AF_INET;
        at.sin_port = htons(BOARD_PORT);
        at.sin_addr.s_addr = ::inet_addr(address);
        m_bound = ::bind(m_socket, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
        DWORD timeout = 2000;
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    }
    ~LoopbackBoard() { ::closesocket(m_socket); }

    // Waits for one request; gives its bytes and where it came from.
    int Receive(std::vector<char>& bytes, sockaddr_in& from)
    {
        bytes.assign(1024, 0);
        int fromLen = sizeof from;
        int n = ::recvfrom(m_socket, bytes.data(), 1024, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
        bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return n;
    }
    void Reply(const sockaddr_in& to, const std::vector<char>& bytes)
    {
        ::sendto(m_socket, bytes.data(), static_cast<int>(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to);
    }

    bool m_bound = false;

private:
    SOCKET m_socket;
};

std::vector<char> DiscoveryReply(const char* name, size_t padTo)
{
    std::vector<char> reply = {1, 0, 0, 0, 0, 0, 0, 0};
    for (const char* p = name; *p; ++p)
        reply.push_back(*p);
    reply.push_back(0);
    for (const char* p = "00:01"; *p; ++p)
        reply.push_back(*p);
    reply.push_back(0);
    if (reply.size() < padTo)
        reply.resize(padTo, 0);
    return reply;
}

void PumpFor(DWORD ms)
{
    DWORD until = ::GetTickCount() + ms;
    MSG msg;
    while (::GetTickCount() < until) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    }
}

}  // namespace

TEST(BoardLink, UnicastAndReplySizesOnLoopback)
{
    TheTestApp().UseFreshSettings(L"tarnwell-link.ini");
    LoopbackBoard board;
    ASSERT_TRUE(board.m_bound) << "cannot play a board on 127.0.0.2:2016";
    CTarnwellDlg dlg;
    bool sentInSubnet = false, sentOutside = true;
    int requestSize = 0;
    std::string requestFrom;
    std::vector<std::wstring> linesAfter;
    bool listShown = false;
    RunInModalLoop([&](HWND h) {
        // One adapter on loopback; the first one listed outside every target's subnet.
        CBoardLink& link = CTarnwellDlgProbe::Link(dlg);
        link.UseAdapters({{L"127.0.0.1", L"255.255.255.255"}, {L"127.0.0.1", L"255.0.0.0"}});
        BoardPacket packet;
        BuildDiscoverRequest(packet);
        sentOutside = link.SendToBoard(L"10.0.0.1", packet.m_bytes, BOARD_HEADER_SIZE);
        sentInSubnet = link.SendToBoard(L"127.0.0.2", packet.m_bytes, BOARD_HEADER_SIZE);
        std::vector<char> request;
        sockaddr_in from = {};
        requestSize = board.Receive(request, from);
        requestFrom = ::inet_ntoa(from.sin_addr);
        // Too long, empty, then a good one: only the last is listed.
        board.Reply(from, DiscoveryReply("FW VEX long", 601));
        board.Reply(from, {});
        board.Reply(from, DiscoveryReply("FW VEX edge", 600));
        board.Reply(from, DiscoveryReply("FW VEX good", 0));
        PumpFor(500);
        const CListBox& units = CTarnwellDlgProbe::Discovery(dlg).UnitList();
        for (int i = 0; i < units.GetCount(); ++i)
            linesAfter.push_back(units.GetText(i));
        listShown = ::IsWindowVisible(units.m_hWnd) != FALSE;
        ::PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
    });
    TheTestApp().m_pMainWnd = &dlg;
    dlg.DoModal();
    TheTestApp().m_pMainWnd = nullptr;
    EXPECT_FALSE(sentOutside) << "a target in no adapter's subnet must not be sent";
    EXPECT_TRUE(sentInSubnet);
    EXPECT_EQ(requestSize, 8);
    EXPECT_EQ(requestFrom, "127.0.0.1");
    ASSERT_EQ(linesAfter.size(), 2u) << "only the 600-byte and the short reply may be listed";
    // The sender's address is whatever Wine's loopback socket reports; the test bed
    // checks real board addresses end to end.
    EXPECT_EQ(linesAfter[0].substr(0, 15), L"FW VEX edge\tIP=");
    EXPECT_EQ(linesAfter[1].substr(0, 15), L"FW VEX good\tIP=");
    EXPECT_NE(linesAfter[1].find(L"\tMAC=00:01"), std::wstring::npos);
    EXPECT_TRUE(listShown) << "the unit list must paint again after a burst of replies";
    const std::vector<BoardList>& boards = CTarnwellDlgProbe::Discovery(dlg).Boards();
    ASSERT_EQ(boards.size(), 2u);
    EXPECT_EQ(boards[1].m_strName, L"FW VEX good") << "line i shows record i";
}

namespace {

WNDPROC g_listProc = nullptr;

// A unit list that refuses every new line, as a full list box would.
LRESULT CALLBACK RefusingListProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == LB_ADDSTRING)
        return LB_ERRSPACE;
    return ::CallWindowProcW(g_listProc, h, msg, wParam, lParam);
}

}  // namespace

TEST(BoardLink, ARefusedLineTakesItsRecordBackOut)
{
    TheTestApp().UseFreshSettings(L"tarnwell-refuse.ini");
    CTarnwellDlg dlg;
    size_t recordsAfterGood = 0, recordsAfterRefused = 0;
    RunInModalLoop([&](HWND h) {
        CDiscovery& discovery = CTarnwellDlgProbe::Discovery(dlg);
        CTarnwellDlgProbe::Link(dlg).UseAdapters({});
        BoardReply reply;
        reply.opcode = OP_DISCOVER;
        reply.name = "FW VEX 1";
        reply.mac = "00:01";
        discovery.OnDiscoveryReply(reply, L"10.0.0.1");
        recordsAfterGood = discovery.Boards().size();
        HWND list = discovery.UnitList().m_hWnd;
        g_listProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RefusingListProc)));
        discovery.OnDiscoveryReply(reply, L"10.0.0.2");
        recordsAfterRefused = discovery.Boards().size();
        ::SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_listProc));
        ::PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
    });
    TheTestApp().m_pMainWnd = &dlg;
    dlg.DoModal();
    TheTestApp().m_pMainWnd = nullptr;
    EXPECT_EQ(recordsAfterGood, 1u);
    EXPECT_EQ(recordsAfterRefused, 1u) << "a line the list box refuses must not leave its record behind";
}

// A typed address is asked where it routed: in decimal, whatever its leading
// zeros (the socket's own reading of "010" is octal 8) or the spaces around it.
TEST(BoardLink, TypedAddressesAreAskedInDecimal)
{
    TheTestApp().UseFreshSettings(L"tarnwell-typed.ini");
    LoopbackBoard board("127.0.0.10");
    ASSERT_TRUE(board.m_bound) << "cannot play a board on 127.0.0.10:2016";
    const wchar_t* const typed[] = {L"127.0.0.010", L" 127.0.0.10", L"127.000.0.10\t", L"127.0.0.0010"};
    CTarnwellDlg dlg;
    std::vector<int> received;
    RunInModalLoop([&](HWND h) {
        CBoardLink& link = CTarnwellDlgProbe::Link(dlg);
        link.UseAdapters({{L"127.0.0.1", L"255.0.0.0"}});
        BoardPacket packet;
        BuildDiscoverRequest(packet);
        for (const wchar_t* target : typed) {
            link.SendToBoard(target, packet.m_bytes, BOARD_HEADER_SIZE);
            std::vector<char> request;
            sockaddr_in from = {};
            received.push_back(board.Receive(request, from));
        }
        ::PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
    });
    TheTestApp().m_pMainWnd = &dlg;
    dlg.DoModal();
    TheTestApp().m_pMainWnd = nullptr;
    ASSERT_EQ(received.size(), std::size(typed));
    for (size_t i = 0; i < received.size(); ++i)
        EXPECT_EQ(received[i], 8) << "the board at 127.0.0.10 must be asked for \"" << testing::PrintToString(std::wstring(typed[i])) << "\"";
}
