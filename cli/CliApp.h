#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/ExitCode.h"
#include "cli/ProgressView.h"
#include "cli/RecordFile.h"
#include "cli/StatusLog.h"

class IClock;
class IPlatform;
class INetwork;
class EventLoop;
struct BoardResult;
struct FirmwareKind;
struct StationBoard;

// The two commands, from the arguments to the exit status.
class CliApp {
public:
    CliApp(IPlatform& platform, IClock& clock);
    ~CliApp();
    // The command's status; 128 + the signal after an interrupt, OutputLost
    // when a write to standard output or the log failed, RecordLost when a
    // record line did.
    int Run(const std::vector<std::wstring>& args);

private:
    CliExit Command(const std::vector<std::wstring>& args);
    CliExit Discover();
    CliExit Flash();
    CliExit Watch();
    bool LoadFirmware(const FirmwareKind*& kind, std::string& ansiName, std::vector<std::uint8_t>& image,
        CliExit& failure);
    bool OpenRecord(CliExit& failure);
    void Record(const StationBoard& board, const RecordImage& image);
    CliExit Fail(CliExit code, const std::wstring& message);
    void Message(const std::wstring& message); // on standard error
    void Print(const std::string& text);       // to standard output; a failure is reported once
    bool ReadTargets(std::vector<std::wstring>& targets, CliExit& failure);
    bool CheckReachable(const std::vector<std::wstring>& targets, CliExit& failure);
    bool Prepare(CliExit& failure); // the log and the network
    bool StartLog(const std::wstring& firstLine, CliExit& failure);
    void OnLogLost(int error);
    void StopWhenInterrupted(EventLoop& loop);
    bool NoteInterruption();
    void PrintResults(const std::vector<StationBoard>& station, std::uint64_t elapsedMs, const std::wstring& token,
        const std::wstring& label);
    ProgressStyle Style(); // of the progress on standard error

    IPlatform& m_platform;
    IClock& m_clock;
    CliOptions m_options;
    StatusLog m_log;
    std::unique_ptr<INetwork> m_network;
    bool m_bLogStarted = false;  // its first line went in: a loss from now on is reported as such
    int m_nLogError = 0;         // errno of the write that lost the log
    bool m_bOutputLost = false;  // standard output or the log
    bool m_bStdoutLost = false;
    bool m_bInterruptNoted = false;
    bool m_bRecordLost = false;  // a record line that did not go in whole
    std::unique_ptr<IRecordFile> m_record;
};
