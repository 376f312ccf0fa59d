#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "cli/IFlashObserver.h"
#include "discovery/DiscoveryText.h"

class StatusLog;

enum class ProgressStyle { Bars, Lines, Quiet };

// Progress on standard error: a bar per board being served on a terminal,
// plain lines otherwise. Status lines are shown and written to the log.
class ProgressView : public IFlashObserver {
public:
    ProgressView(std::ostream& err, ProgressStyle style, StatusLog& log, const std::vector<BoardList>& boards);

    void OnStatusLine(const std::wstring& line) override;
    void OnBoardStarted(int board) override;
    void OnBoardProgress(int board, int percent) override;
    void OnBoardFinished(int board, const DownloadEnd& end) override;

private:
    void Print(const std::string& line); // above the bars, which stay at the bottom
    void Erase();
    void Draw();
    std::string BarLine(int board, const std::string& tail) const;
    std::string Address(int board) const;
    std::string Name(int board) const; // decoded, one line

    std::ostream& m_err;
    ProgressStyle m_style;
    StatusLog& m_log;
    const std::vector<BoardList>& m_boards;
    std::vector<int> m_active;      // boards with a bar, in the order they started
    std::map<int, int> m_percent;   // per board: last percentage
    int m_nDrawn = 0;               // bar lines now on screen
};
