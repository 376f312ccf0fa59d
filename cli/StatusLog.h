#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

class IClock;

// The --log file: every status line, each stamped with the wall-clock time.
class StatusLog {
public:
    explicit StatusLog(IClock& clock);

    void Attach(std::unique_ptr<std::ostream> file);
    bool IsAttached() const { return m_file != nullptr; }
    void Write(const std::wstring& text); // one or more lines, "\r\n" or "\n" ended

private:
    IClock& m_clock;
    std::unique_ptr<std::ostream> m_file;
};

// "2024-05-01T12:34:56.789Z"
std::string FormatTimestamp(std::uint64_t msSinceEpoch);
// Lines of a status text, without their line ends; empty lines dropped.
std::wstring NextLine(const std::wstring& text, std::size_t& pos);
