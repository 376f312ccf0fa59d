// The main window's private messages and timers; its parts are handed theirs.
#pragma once

#include "download/IDownloadHost.h"
#include "framework/Win32.h"

constexpr UINT WM_SEND_FILENAME = WM_APP + static_cast<UINT>(SequencerMessage::SendFileName);
constexpr UINT WM_SEND_DATA = WM_APP + static_cast<UINT>(SequencerMessage::SendData);
constexpr UINT WM_SEND_REBOOT = WM_APP + static_cast<UINT>(SequencerMessage::SendReboot);
constexpr UINT WM_NEXT_BOARD = WM_APP + static_cast<UINT>(SequencerMessage::NextBoard);
static_assert(WM_SEND_FILENAME == 0x8001 && WM_NEXT_BOARD == 0x8004, "private message values are fixed");

constexpr UINT_PTR RETRY_TIMER_ID = 1;        // the reply deadline of the download
constexpr UINT_PTR UNITS_REDRAW_TIMER_ID = 2; // the unit list shown again after a burst of replies
