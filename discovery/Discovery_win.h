// The unit list with its records, and the requests that fill it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "discovery/DiscoveryText.h"
#include "framework/Controls.h"
#include "net/BoardPacket.h"

class CBoardLink;
class CDataExchange;
class IStatusLog;

class CDiscovery {
public:
    // The list's redraw hold runs on a timer of `window`, the main window.
    static constexpr UINT_PTR UNITS_REDRAW_TIMER_ID = 2;

    CDiscovery(const CWnd& window, CBoardLink& link, IStatusLog& log);
    CDiscovery(const CDiscovery&) = delete;
    CDiscovery& operator=(const CDiscovery&) = delete;

    void DoDataExchange(CDataExchange* pDX);

    void Search();
    // `stored`: the address list in its stored form.
    void PingList(const std::wstring& stored);
    void PingSpecific(std::uint32_t address);
    void RunStartupProbe();
    void OnDiscoveryReply(const BoardReply& reply, const std::wstring& sender);
    void ReleaseUnitsRedraw();

    const CListBox& UnitList() const { return m_listUnits; }
    const std::vector<BoardList>& Boards() const { return m_boards; }

private:
    void ClearUnits();
    void BuildDiscoveryRequest();
    void HoldUnitsRedraw();

    static constexpr UINT UNITS_REDRAW_DELAY_MS = 100;

    const CWnd& m_window;
    CBoardLink& m_link;
    IStatusLog& m_log;
    std::vector<BoardList> m_boards;
    CListBox m_listUnits;
    BoardPacket m_packet = {};
    bool m_bUnitsRedrawHeld = false;
};
