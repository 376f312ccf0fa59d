#pragma once

#include <cstdint>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <utility>

struct StationBoard;

// The --record file: one JSON object per line (JSON Lines), one line per board.
// Each line reaches the file in one write in append mode, so stations on one
// machine may share a file without ever breaking a line. This is the
// system's side of one opened for appending.
class IAppendFile {
public:
    virtual ~IAppendFile() = default;
    // The file's last byte; -1 when it is empty or cannot be read.
    virtual int LastByte() = 0;
    // One write at the end of the file: the bytes written, or -1 with `error` set.
    virtual long long Write(const char* data, std::size_t size, std::wstring& error) = 0;
};

// Each line in one write. A line that went in only in part is ended with a
// line break (or, when even that fails, the next line starts with one), so
// the next line, this station's or another's, starts on a line of its own;
// readers pass over the broken one.
class RecordWriter {
public:
    explicit RecordWriter(std::unique_ptr<IAppendFile> file);
    bool Append(const std::string& line, std::wstring& error);

private:
    std::unique_ptr<IAppendFile> m_file;
    bool m_bBroken = false; // a line break is still owed
};

// The image a record line names.
struct RecordImage {
    std::wstring m_strFile; // the file's name, without its folder
    std::uint64_t m_nSize = 0;
    std::string m_strSha256;
};

// One line, "\n" included: start, end, address, mac, name, name_after, file, size, sha256, result, ok,
// confirmed, text, request, block, blocks, passes, retransmissions, duration, returned, back_after.
std::string RecordLine(const StationBoard& board, const RecordImage& image, std::uint64_t returnLimitMs);

// What the last line of a board (its MAC and address) in a record says of it.
struct RecordedBoard {
    bool m_bOk = false;
    bool m_bConfirmed = false;
    std::string m_strSha256;
};
using RecordBook = std::map<std::pair<std::wstring, std::wstring>, RecordedBoard>; // (MAC, address)
// Lines that are no record line (a broken one, a foreign one), lines without a
// MAC and lines of boards never contacted (skipped, not started) are passed over.
RecordBook ReadRecord(const std::string& text);
