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
    std::wstring m_strSignal; // the interrupt that cut the run short ("SIGINT"), empty when none
    // With a return check, per board: its result text and members added to its object ("returned", ...);
    // and the counts, in which a board that did not come back failed.
    std::vector<std::wstring> m_texts;
    std::vector<std::string> m_extras;
    const ResultCounts* m_pCounts = nullptr;
};

// JSON documents of the two commands, in plain ASCII (anything else escaped);
// boards' names and MACs decoded from Windows-1252 first.
std::string JsonString(const std::wstring& text);
// `unanswered`: named addresses that gave no reply, listed when there are any.
std::string DiscoverJson(const std::vector<BoardList>& boards, const std::vector<std::wstring>& unanswered = {},
    const std::wstring& signal = std::wstring());
std::string FlashJson(const FlashReport& report);
