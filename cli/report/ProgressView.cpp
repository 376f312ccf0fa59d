#include "cli/report/ProgressView.h"

#include <algorithm>

#include "cli/report/OutputText.h"
#include "cli/report/StatusLog.h"
#include "net/BoardPacket.h"

namespace {

constexpr int BAR_WIDTH = 20;
constexpr std::size_t ADDRESS_WIDTH = 15;
// A live line that wraps would take two rows and throw off the redraw, which
// moves up one row per line: it is cut to keep it in 79 columns.
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

const char* RetryState(std::uint8_t opcode)
{
    switch (opcode) {
    case OP_FILENAME: return "retrying file name";
    case OP_DATA: return "retrying block";
    default: return "retrying reboot";
    }
}

} // namespace

ProgressView::ProgressView(std::ostream& err, ProgressStyle style, StatusLog& log, const std::vector<StationBoard>& boards)
    : m_err(err), m_style(style), m_log(log), m_boards(boards)
{
}

void ProgressView::OnStatusLine(const std::wstring& line)
{
    // On a terminal the live lines say the same, and the window's texts would
    // scroll between them: there they go to the log only.
    m_log.WriteUnicode(line);
    if (m_style != ProgressStyle::Lines)
        return;
    std::size_t pos = 0;
    for (std::wstring text = NextLine(line, pos); !text.empty(); text = NextLine(line, pos))
        Print(Utf8(text));
}

void ProgressView::OnBoardStarted(int board)
{
    m_live[board].percent = 0;
    if (m_style == ProgressStyle::Lines)
        Print(Address(board) + ": downloading to " + Name(board));
    else if (m_style == ProgressStyle::Bars)
        m_active.push_back(board);
    SetState(board, "file name");
}

void ProgressView::OnBoardProgress(int board, int percent)
{
    Live& live = m_live[board];
    const int before = live.percent;
    live.percent = percent;
    // One line per tenth is enough to see a board move and few enough for a log.
    if (m_style == ProgressStyle::Lines && percent / 10 > before / 10)
        Print(Address(board) + ": " + std::to_string(percent / 10 * 10) + "%");
    SetState(board, "data");
}

void ProgressView::OnBoardRetrying(int board, std::uint8_t opcode)
{
    SetState(board, RetryState(opcode));
}

void ProgressView::OnBoardRebooting(int board)
{
    SetState(board, "rebooting");
}

void ProgressView::OnBoardRestarted(int board, std::uint32_t block)
{
    m_live[board].percent = 0;
    const std::string why = "acknowledgements out of step at data block " + std::to_string(block);
    if (m_style == ProgressStyle::Lines)
        Print(Address(board) + ": " + why + "; starting over");
    SetState(board, "restarted at block " + std::to_string(block));
}

void ProgressView::OnBoardFinished(int board, const DownloadEnd& end)
{
    // The result is said once it is final (a return check may follow).
    if (end.m_outcome == BoardOutcome::Rebooted && end.m_cut == DownloadCut::None)
        SetState(board, "rebooted");
}

void ProgressView::OnBoardReported(int board, const std::wstring& result)
{
    const std::string text = Utf8(result);
    if (m_style == ProgressStyle::Lines) {
        Print(Address(board) + ": " + text);
    } else if (m_style == ProgressStyle::Bars) {
        m_active.erase(std::remove(m_active.begin(), m_active.end(), board), m_active.end());
        Print(BarLine(board, text));
    }
}

void ProgressView::SetState(int board, const std::string& state)
{
    m_live[board].state = state;
    if (m_style == ProgressStyle::Bars && std::find(m_active.begin(), m_active.end(), board) != m_active.end()) {
        Erase();
        Draw();
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
    // Back to the first live line and clear to the end of the screen.
    if (m_style == ProgressStyle::Bars && m_nDrawn > 0)
        m_err << "\x1b[" << m_nDrawn << "F\x1b[J";
    m_nDrawn = 0;
}

void ProgressView::Draw()
{
    if (m_style == ProgressStyle::Bars) {
        for (int board : m_active) {
            std::string line = BarLine(board, m_live[board].state + "  " + Name(board));
            CutToColumns(line, BAR_LINE_COLUMNS);
            m_err << line << '\n';
        }
        m_nDrawn = static_cast<int>(m_active.size());
    }
    m_err.flush();
}

std::string ProgressView::BarLine(int board, const std::string& tail) const
{
    const auto it = m_live.find(board);
    const int percent = it == m_live.end() ? 0 : it->second.percent;
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
    return Utf8(m_boards[static_cast<std::size_t>(board)].m_result.m_board.m_strIP);
}

std::string ProgressView::Name(int board) const
{
    return Utf8(BoardTextForLine(m_boards[static_cast<std::size_t>(board)].m_result.m_board.m_strName));
}
