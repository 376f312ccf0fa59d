// Message maps: static tables that route window messages, commands and
// command-update requests to typed member handlers.
#pragma once

#include "framework/Win32.h"

class CCmdTarget;
class CCmdUI;

// Notification code used to ask a command's update handler whether it may run.
constexpr UINT CN_COMMAND = 0;
constexpr UINT CN_UPDATE_COMMAND_UI = 0xFFFFFFFFu;

using AfxThunk = LRESULT (*)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;   // window message, or WM_COMMAND for commands and notifications
    UINT nCode;      // notification code (CN_COMMAND, BN_CLICKED, CN_UPDATE_COMMAND_UI)
    UINT nID;        // command or control id; 0 for window messages
    AfxThunk pfn;    // nullptr ends the table
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

class CCmdUI {
public:
    UINT m_nID = 0;
    virtual ~CCmdUI() = default;
    virtual void Enable(BOOL bOn = TRUE) = 0;
};

// Records what the update handlers decide without touching any menu item.
class CTestCmdUI : public CCmdUI {
public:
    BOOL m_bEnabled = TRUE;
    BOOL m_bEnableChanged = FALSE;
    void Enable(BOOL bOn = TRUE) override;
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // Runs the handler for a command (nCode CN_COMMAND or a control notification)
    // or an update request (CN_UPDATE_COMMAND_UI, pCmdUI set). True when one ran.
    virtual BOOL OnCmdMsg(UINT nID, UINT nCode, CCmdUI* pCmdUI);

    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

protected:
    const AFX_MSGMAP_ENTRY* FindEntry(UINT nMessage, UINT nCode, UINT nID) const;
};

#define DECLARE_MESSAGE_MAP()                                  \
public:                                                        \
    static const AFX_MSGMAP* GetThisMessageMap();              \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                 \
    const AFX_MSGMAP* theClass::GetMessageMap() const                          \
    {                                                                          \
        return GetThisMessageMap();                                            \
    }                                                                          \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                            \
    {                                                                          \
        using ThisClass = theClass;                                            \
        using TheBaseClass = baseClass;                                        \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                      \
            {0, 0, 0, nullptr}};                                               \
        static_assert(sizeof(ThisClass) > 0, "complete class");                \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, entries}; \
        return &messageMap;                                                    \
    }

#define AFX_THUNK(body)                                                        \
    [](CCmdTarget* target, WPARAM wParam, LPARAM lParam) -> LRESULT {          \
        ThisClass* self = static_cast<ThisClass*>(target);                     \
        (void)self; (void)wParam; (void)lParam;                                \
        body                                                                   \
    }

#define ON_COMMAND(id, memberFxn) \
    {WM_COMMAND, CN_COMMAND, static_cast<UINT>(id), AFX_THUNK(self->memberFxn(); return 0;)},
#define ON_BN_CLICKED(id, memberFxn) \
    {WM_COMMAND, static_cast<UINT>(BN_CLICKED), static_cast<UINT>(id), AFX_THUNK(self->memberFxn(); return 0;)},
#define ON_UPDATE_COMMAND_UI(id, memberFxn) \
    {WM_COMMAND, CN_UPDATE_COMMAND_UI, static_cast<UINT>(id), \
     AFX_THUNK(self->memberFxn(reinterpret_cast<CCmdUI*>(lParam)); return 0;)},
#define ON_MESSAGE(message, memberFxn) \
    {static_cast<UINT>(message), 0, 0, AFX_THUNK(return self->memberFxn(wParam, lParam);)},
#define ON_WM_SYSCOMMAND() \
    {WM_SYSCOMMAND, 0, 0, AFX_THUNK(self->OnSysCommand(static_cast<UINT>(wParam), lParam); return 0;)},
#define ON_WM_PAINT() \
    {WM_PAINT, 0, 0, AFX_THUNK(self->OnPaint(); return 0;)},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, AFX_THUNK(return reinterpret_cast<LRESULT>(self->OnQueryDragIcon());)},
#define ON_WM_TIMER() \
    {WM_TIMER, 0, 0, AFX_THUNK(self->OnTimer(static_cast<UINT_PTR>(wParam)); return 0;)},
#define ON_WM_CLOSE() \
    {WM_CLOSE, 0, 0, AFX_THUNK(self->OnClose(); return 0;)},
