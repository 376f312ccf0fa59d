#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/StationBoard.h"

struct FlashReport {
    std::wstring m_strFile;
    std::wstring m_strToken, m_strLabel; // the file's kind
    int m_nParallel = 1;
    std::uint64_t m_nElapsedMs = 0;
    std::vector<StationBoard> m_boards;
    std::wstring m_strSignal;             // the interrupt that cut the run short ("SIGINT"), empty when none
    std::uint64_t m_nReturnLimitMs = 0;   // --verify-return: each board says whether it came back
};

// JSON documents of the two commands, in plain ASCII (anything else escaped);
// boards' names and MACs decoded from Windows-1252 first.
std::string JsonString(const std::wstring& text);
// `unanswered`: named addresses that gave no reply, listed when there are any.
std::string DiscoverJson(const std::vector<BoardList>& boards, const std::vector<std::wstring>& unanswered = {},
    const std::wstring& signal = std::wstring());
std::string FlashJson(const FlashReport& report);
