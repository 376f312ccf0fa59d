#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class CliCommand { None, Help, Version, Discover, Flash, Watch };

struct CliOptions {
    CliCommand m_command = CliCommand::None;
    std::wstring m_strFile;                 // flash: the firmware image
    std::vector<std::wstring> m_addresses;  // as typed; --to lists split at commas
    std::vector<std::wstring> m_listFiles;  // --list
    bool m_bAll = false, m_bJson = false, m_bQuiet = false;
    int m_nParallel = 1;
    std::uint64_t m_nWaitMs = 2000;
    std::wstring m_strLog;
    std::uint64_t m_nVerifyReturnMs = 0; // --verify-return; 0 when not given
    std::wstring m_strRecord;            // --record
    std::uint64_t m_nIntervalMs = 2000;  // watch --interval
    bool m_bOncePerMac = false;          // watch --once-per-mac
    bool m_bRequireConfirmed = false;    // an ok its acks cannot prove is a failure
    std::wstring m_strError; // a usage error; when set, nothing else counts
};

constexpr int MAX_PARALLEL = 256;
constexpr std::uint64_t MAX_WAIT_MS = 3600 * 1000;
constexpr std::uint64_t MIN_INTERVAL_MS = 100;

CliOptions ParseOptions(const std::vector<std::wstring>& args);
// "2", "0.5", "1.25": seconds with up to three decimals, as milliseconds; false when malformed.
bool ParseSeconds(const std::wstring& text, std::uint64_t& ms);
