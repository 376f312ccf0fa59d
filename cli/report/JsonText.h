#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "cli/report/StationBoard.h"

// Documents keep their members in the order they were added.
using Json = nlohmann::ordered_json;

struct FlashReport {
    std::wstring m_strFile;
    std::wstring m_strToken, m_strLabel; // the file's kind
    int m_nParallel = 1;
    std::uint64_t m_nElapsedMs = 0;
    std::vector<StationBoard> m_boards;
    std::wstring m_strSignal;             // the interrupt that cut the run short ("SIGINT"), empty when none
    std::uint64_t m_nReturnLimitMs = 0;   // --verify-return: each board says whether it came back
};

// Text as a JSON string: Unicode as UTF-8, whatever wchar_t holds.
Json JsonText(const std::wstring& text);
Json JsonSeconds(std::uint64_t ms); // 1234 ms: 1.234
// Plain ASCII (anything else escaped), on one line, ", " and ": " between items.
std::string JsonLine(const Json& value);

// JSON documents of the two commands; boards' names and MACs decoded from Windows-1252 first.
// `unanswered`: named addresses that gave no reply, listed when there are any.
std::string DiscoverJson(const std::vector<BoardList>& boards, const std::vector<std::wstring>& unanswered = {},
    const std::wstring& signal = std::wstring());
std::string FlashJson(const FlashReport& report);
