#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

class IClock;

// The --log file: every status line, each stamped with the wall-clock time.
// A write that fails ends the log: `onLost` hears of it once, with errno.
class StatusLog {
public:
    using LostHandler = std::function<void(int error)>;

    explicit StatusLog(IClock& clock);

    void Attach(std::unique_ptr<std::ostream> file, LostHandler onLost = nullptr);
    bool IsLost() const { return m_bLost; }
    // One or more lines, "\r\n" or "\n" ended: text from the command line and
    // the system (paths) / Unicode text (lines with boards' names), in UTF-8.
    void Write(const std::wstring& text);
    void WriteUnicode(const std::wstring& text);

private:
    void WriteLines(const std::wstring& text, std::string (*encode)(const std::wstring&));

    IClock& m_clock;
    std::unique_ptr<std::ostream> m_file;
    LostHandler m_onLost;
    bool m_bLost = false;
};

// "2024-05-01T12:34:56.789Z"
std::string FormatTimestamp(std::uint64_t msSinceEpoch);
// Lines of a status text, without their line ends; empty lines dropped.
std::wstring NextLine(const std::wstring& text, std::size_t& pos);
