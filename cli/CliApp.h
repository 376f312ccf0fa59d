#pragma once

#include <string>
#include <vector>

#include "cli/commands/CliRun.h"

class IClock;
class IPlatform;

// The commands, from the arguments to the exit status.
class CliApp {
public:
    CliApp(IPlatform& platform, IClock& clock);
    // The command's status; 128 + the signal after an interrupt, OutputLost
    // when a write to standard output or the log failed, RecordLost when a
    // record line did.
    int Run(const std::vector<std::wstring>& args);

private:
    CliExit Command(const std::vector<std::wstring>& args);

    IPlatform& m_platform;
    CliRun m_run;
};
