#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BoardReply;

struct BoardList {
    std::wstring m_strName, m_strIP, m_strMAC;
};

// The record of a discovery reply from `sender` (dotted text); texts widened from ANSI.
BoardList MakeBoardList(const BoardReply& reply, const std::wstring& sender);
std::wstring FormatUnitLine(const BoardList& b);
std::wstring PingListToDialogForm(std::wstring stored);
std::wstring PingListToStoredForm(std::wstring text);
std::vector<std::wstring> PingListTargets(const std::wstring& stored);
bool IsProbeCommandLine(const std::wstring& cmdLine);

extern const wchar_t* const PROBE_ADDRESSES[6];
extern const wchar_t* const STATUS_SEARCHING;
extern const wchar_t* const STATUS_SEARCHING_PING_LIST;
extern const wchar_t* const STATUS_SEARCHING_SPECIFIC;
