// The status log as the parts of the main window write to it.
#pragma once

#include <string>

class IStatusLog {
public:
    virtual ~IStatusLog() = default;
    // The newest line goes on top and shows at once.
    virtual void LogStatus(const std::wstring& line) = 0;
    // Empties the log and shows the one line.
    virtual void RestartStatus(const std::wstring& line) = 0;
    // A ping's first line: it restarts the log, except during a download,
    // whose report (which boards failed) stays below it.
    virtual void StartPingStatus(const std::wstring& line) = 0;
};
