// Private window messages and the retry timer of the main window.
#pragma once

#include "download/DownloadSequencer.h"
#include "framework/Win32.h"

constexpr UINT WM_SEND_FILENAME = WM_APP + static_cast<UINT>(SequencerMessage::SendFileName);
constexpr UINT WM_SEND_DATA = WM_APP + static_cast<UINT>(SequencerMessage::SendData);
constexpr UINT WM_SEND_REBOOT = WM_APP + static_cast<UINT>(SequencerMessage::SendReboot);
constexpr UINT WM_NEXT_BOARD = WM_APP + static_cast<UINT>(SequencerMessage::NextBoard);
static_assert(WM_SEND_FILENAME == 0x8001 && WM_NEXT_BOARD == 0x8004, "private message values are fixed");
