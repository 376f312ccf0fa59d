#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "cli/lanes/IFlashObserver.h"
#include "cli/report/StationBoard.h"

class StatusLog;

enum class ProgressStyle { Bars, Lines, Quiet };

// Progress on standard error. On a terminal, one live line per board being
// served (address, bar, state), and each board's result above them once it is
// known; elsewhere plain lines with the window's status texts. The status
// texts always go to the log.
class ProgressView : public IFlashObserver {
public:
    ProgressView(std::ostream& err, ProgressStyle style, StatusLog& log, const std::vector<StationBoard>& boards);

    void OnStatusLine(const std::wstring& line) override;
    void OnBoardStarted(int board) override;
    void OnBoardProgress(int board, int percent) override;
    void OnBoardFinished(int board, const DownloadEnd& end) override;
    void OnBoardRetrying(int board, std::uint8_t opcode) override;
    void OnBoardRebooting(int board) override;
    void OnBoardRestarted(int board, std::uint32_t block) override;
    void OnBoardReported(int board, const std::wstring& result) override;

private:
    struct Live {
        int percent = 0;
        std::string state;
    };
    void Print(const std::string& line); // above the live lines, which stay at the bottom
    void SetState(int board, const std::string& state);
    void Erase();
    void Draw();
    std::string BarLine(int board, const std::string& tail) const;
    std::string Address(int board) const;
    std::string Name(int board) const; // decoded, one line

    std::ostream& m_err;
    ProgressStyle m_style;
    StatusLog& m_log;
    const std::vector<StationBoard>& m_boards;
    std::vector<int> m_active;      // boards with a live line, in the order they started
    std::map<int, Live> m_live;     // per board: its percentage and state
    int m_nDrawn = 0;               // live lines now on screen
};
