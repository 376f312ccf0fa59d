#pragma once

#include <string>
#include <vector>

class IClock;
class IPlatform;

// The commands, from the arguments to the exit status: the command's status;
// 128 + the signal after an interrupt, OutputLost when a write to standard
// output or the log failed, RecordLost when a record line did.
int RunCli(IPlatform& platform, IClock& clock, const std::vector<std::wstring>& args);
