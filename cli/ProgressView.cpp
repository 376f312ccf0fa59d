#include "cli/ProgressView.h"

#include <algorithm>

#include "cli/BoardResult.h"
#include "cli/OutputText.h"
#include "cli/StatusLog.h"

namespace {

constexpr int BAR_WIDTH = 30;
constexpr std::size_t ADDRESS_WIDTH = 15;
// A bar line that wraps would take two rows and throw off the redraw, which
// moves up one row per bar: the board name is cut to keep it in 79 columns.
constexpr std::size_t BAR_LINE_COLUMNS = 79;

// The first `columns` characters of UTF-8 text, never half of one.
void CutToColumns(std::string& line, std::size_t columns)
{
    std::size_t characters = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80 && characters++ == columns) {
            line.resize(i);
            return;
        }
    }
}

} // namespace

ProgressView::ProgressView(std::ostream& err, ProgressStyle style, StatusLog& log, const std::vector<BoardList>& boards)
    : m_err(err), m_style(style), m_log(log), m_boards(boards)
{
}

void ProgressView::OnStatusLine(const std::wstring& line)
{
    m_log.Write(line);
    std::size_t pos = 0;
    for (std::wstring text = NextLine(line, pos); !text.empty(); text = NextLine(line, pos))
        Print(NativeText(text));
}

void ProgressView::OnBoardStarted(int board)
{
    m_percent[board] = 0;
    if (m_style == ProgressStyle::Lines) {
        Print(Address(board) + ": downloading to " + Name(board));
    } else if (m_style == ProgressStyle::Bars) {
        m_active.push_back(board);
        Erase();
        Draw();
    }
}

void ProgressView::OnBoardProgress(int board, int percent)
{
    const int before = m_percent[board];
    m_percent[board] = percent;
    if (m_style == ProgressStyle::Lines) {
        // One line per tenth is enough to see a board move and few enough for a log.
        if (percent / 10 > before / 10)
            Print(Address(board) + ": " + std::to_string(percent / 10 * 10) + "%");
    } else if (m_style == ProgressStyle::Bars) {
        Erase();
        Draw();
    }
}

void ProgressView::OnBoardFinished(int board, const DownloadEnd& end)
{
    const std::string result = Utf8(DescribeResult(ResultOfDownload(m_boards[static_cast<std::size_t>(board)], end)));
    if (m_style == ProgressStyle::Lines) {
        Print(Address(board) + ": " + result);
    } else if (m_style == ProgressStyle::Bars) {
        m_active.erase(std::remove(m_active.begin(), m_active.end(), board), m_active.end());
        Print(BarLine(board, result));
    }
}

void ProgressView::Print(const std::string& line)
{
    if (m_style == ProgressStyle::Quiet)
        return;
    Erase();
    m_err << line << '\n';
    Draw();
}

void ProgressView::Erase()
{
    // Back to the first bar line and clear to the end of the screen.
    if (m_style == ProgressStyle::Bars && m_nDrawn > 0)
        m_err << "\x1b[" << m_nDrawn << "F\x1b[J";
    m_nDrawn = 0;
}

void ProgressView::Draw()
{
    if (m_style == ProgressStyle::Bars) {
        for (int board : m_active) {
            std::string line = BarLine(board, Name(board));
            CutToColumns(line, BAR_LINE_COLUMNS);
            m_err << line << '\n';
        }
        m_nDrawn = static_cast<int>(m_active.size());
    }
    m_err.flush();
}

std::string ProgressView::BarLine(int board, const std::string& tail) const
{
    const auto it = m_percent.find(board);
    const int percent = it == m_percent.end() ? 0 : it->second;
    const int filled = percent * BAR_WIDTH / 100;
    std::string line = Address(board);
    line.resize(std::max(line.size(), ADDRESS_WIDTH), ' ');
    line += " [" + std::string(static_cast<std::size_t>(filled), '#')
        + std::string(static_cast<std::size_t>(BAR_WIDTH - filled), '-') + "] ";
    const std::string number = std::to_string(percent);
    line += std::string(3 - std::min<std::size_t>(3, number.size()), ' ') + number + "%  " + tail;
    return line;
}

std::string ProgressView::Address(int board) const
{
    return Utf8(m_boards[static_cast<std::size_t>(board)].m_strIP);
}

std::string ProgressView::Name(int board) const
{
    return Utf8(BoardTextForLine(m_boards[static_cast<std::size_t>(board)].m_strName));
}
