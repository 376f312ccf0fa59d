#include "cli/report/StatusLog.h"

#include <cerrno>
#include <cstdio>

#include "cli/IClock.h"
#include "cli/report/OutputText.h"

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian), so that the
// stamp needs no gmtime and reads the same on every platform.
void CivilFromDays(std::int64_t days, int& year, unsigned& month, unsigned& day)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

} // namespace

std::string FormatTimestamp(std::uint64_t msSinceEpoch)
{
    const std::uint64_t seconds = msSinceEpoch / 1000;
    int year = 1970;
    unsigned month = 1, day = 1;
    CivilFromDays(static_cast<std::int64_t>(seconds / 86400), year, month, day);
    const unsigned inDay = static_cast<unsigned>(seconds % 86400);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02u:%02u:%02u.%03uZ", year, month, day, inDay / 3600,
        inDay / 60 % 60, inDay % 60, static_cast<unsigned>(msSinceEpoch % 1000));
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
