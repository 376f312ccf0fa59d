#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>

struct StationBoard;

// The --record file: one JSON object per line (JSON Lines), one line per board.
// Each line reaches the file in one write in append mode, so stations on one
// machine may share a file without ever breaking a line.
class IRecordFile {
public:
    virtual ~IRecordFile() = default;
    virtual bool Append(const std::string& line, std::wstring& error) = 0;
};

// The image a record line names.
struct RecordImage {
    std::wstring m_strFile; // the file's name, without its folder
    std::uint64_t m_nSize = 0;
    std::string m_strSha256;
};

// One line, "\n" included: start, end, address, mac, name, name_after, file, size, sha256, result, ok, text,
// request, block, blocks, retransmissions, duration, returned, back_after.
std::string RecordLine(const StationBoard& board, const RecordImage& image, std::uint64_t returnLimitMs);

// (MAC, SHA-256) of every board a record shows as served; lines that are no
// record line (a broken one, a foreign one) are passed over.
using ServedSet = std::set<std::pair<std::wstring, std::string>>;
ServedSet ServedInRecord(const std::string& text);
