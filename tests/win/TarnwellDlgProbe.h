// The Windows tests' view of the main window's parts; the program never uses it.
#pragma once

#include "ui/TarnwellDlg.h"

class CTarnwellDlgProbe {
public:
    // Stands for a download running (false) or not (true).
    static void SetReady(CTarnwellDlg& dlg, bool ready) { dlg.m_bReady = ready ? TRUE : FALSE; }
    static bool IsReady(const CTarnwellDlg& dlg) { return dlg.m_bReady != FALSE; }
    static CBoardLink& Link(CTarnwellDlg& dlg) { return dlg.m_link; }
    static CDiscovery& Discovery(CTarnwellDlg& dlg) { return dlg.m_discovery; }
    // Lists a board as its discovery reply would.
    static void AddUnit(CTarnwellDlg& dlg, const char* name, const wchar_t* ip, bool selected)
    {
        BoardReply reply;
        reply.opcode = OP_DISCOVER;
        reply.name = name;
        reply.mac = "01";
        dlg.m_discovery.OnDiscoveryReply(reply, ip);
        if (selected)
            ::SendMessageW(dlg.m_discovery.UnitList().m_hWnd, LB_SETSEL, TRUE, dlg.m_discovery.UnitList().GetCount() - 1);
    }
};
