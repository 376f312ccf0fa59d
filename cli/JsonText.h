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
    // With a return check, per board: its result text and members added to its object ("returned", ...);
    // and the counts, in which a board that did not come back failed.
    std::vector<std::wstring> m_texts;
    std::vector<std::string> m_extras;
    const ResultCounts* m_pCounts = nullptr;
};

// JSON documents of the two commands, in plain ASCII (anything else escaped).
std::string JsonString(const std::wstring& text);
std::string DiscoverJson(const std::vector<BoardList>& boards);
std::string FlashJson(const FlashReport& report);
