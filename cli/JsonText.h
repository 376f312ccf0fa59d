#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/BoardResult.h"

struct FlashReport {
    std::wstring m_strFile;
    std::wstring m_strToken, m_strLabel; // the file's kind
    int m_nParallel = 1;
    std::uint64_t m_nElapsedMs = 0;
    std::vector<BoardResult> m_results;
};

// JSON documents of the two commands, in plain ASCII (anything else escaped).
std::string JsonString(const std::wstring& text);
std::string DiscoverJson(const std::vector<BoardList>& boards);
std::string FlashJson(const FlashReport& report);
