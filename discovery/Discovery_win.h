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
    // The list's redraw hold runs on the timer `redrawTimer` of `window`, the main window.
    CDiscovery(const CWnd& window, UINT_PTR redrawTimer, CBoardLink& link, IStatusLog& log);
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

    // The records of the selected lines, in list order.
    std::vector<BoardList> SelectedBoards() const;
    // Of the selected lines, in list order, deselects those whose `keep` is false.
    void KeepSelected(const std::vector<bool>& keep);

    const CListBox& UnitList() const { return m_listUnits; }
    const std::vector<BoardList>& Boards() const { return m_boards; }

private:
    void ClearUnits();
    void HoldUnitsRedraw();

    static constexpr UINT UNITS_REDRAW_DELAY_MS = 100;

    const CWnd& m_window;
    UINT_PTR m_nRedrawTimer;
    CBoardLink& m_link;
    IStatusLog& m_log;
    std::vector<BoardList> m_boards;
    CListBox m_listUnits;
    BoardPacket m_packet = {};
    bool m_bUnitsRedrawHeld = false;
};
