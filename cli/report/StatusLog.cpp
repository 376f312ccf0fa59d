#include "cli/report/StatusLog.h"

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "cli/IClock.h"
#include "cli/report/OutputText.h"

std::string FormatTimestamp(std::uint64_t msSinceEpoch)
{
    // The calendar of <chrono>, so that the stamp needs no gmtime and reads the same on every platform.
    using namespace std::chrono;
    const sys_time<milliseconds> time{milliseconds(static_cast<std::int64_t>(msSinceEpoch))};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> inDay{time - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), static_cast<int>(inDay.hours().count()),
        static_cast<int>(inDay.minutes().count()), static_cast<int>(inDay.seconds().count()),
        static_cast<int>(inDay.subseconds().count()));
    return text;
}

std::wstring NextLine(const std::wstring& text, std::size_t& pos)
{
    while (pos < text.size() && (text[pos] == L'\r' || text[pos] == L'\n'))
        ++pos;
    const std::size_t end = text.find_first_of(L"\r\n", pos);
    const std::size_t stop = end == std::wstring::npos ? text.size() : end;
    std::wstring line = text.substr(pos, stop - pos);
    pos = stop;
    return line;
}

StatusLog::StatusLog(IClock& clock)
    : m_clock(clock)
{
}

void StatusLog::Attach(std::unique_ptr<std::ostream> file, LostHandler onLost)
{
    m_file = std::move(file);
    m_onLost = std::move(onLost);
    m_bLost = false;
}

void StatusLog::Write(const std::wstring& text)
{
    WriteLines(text, NativeText);
}

void StatusLog::WriteUnicode(const std::wstring& text)
{
    WriteLines(text, Utf8);
}

void StatusLog::WriteLines(const std::wstring& text, std::string (*encode)(const std::wstring&))
{
    if (!m_file || m_bLost)
        return;
    const std::string stamp = FormatTimestamp(m_clock.WallMs());
    std::size_t pos = 0;
    errno = 0;
    for (std::wstring line = NextLine(text, pos); !line.empty(); line = NextLine(text, pos))
        *m_file << stamp << ' ' << encode(line) << '\n';
    m_file->flush();
    if (m_file->fail()) {
        // A log with a hole in it would read as a complete one: nothing more goes in.
        const int error = errno;
        m_bLost = true;
        if (m_onLost)
            m_onLost(error);
    }
}
