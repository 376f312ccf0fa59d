#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/ExitCode.h"
#include "cli/RecordFile.h"
#include "cli/StatusLog.h"

class IClock;
class IPlatform;
class INetwork;
struct BoardResult;
struct FirmwareKind;
struct StationBoard;

// The two commands, from the arguments to the exit status.
class CliApp {
public:
    CliApp(IPlatform& platform, IClock& clock);
    ~CliApp();
    int Run(const std::vector<std::wstring>& args);

private:
    CliExit Discover();
    CliExit Flash();
    CliExit Watch();
    bool LoadFirmware(const FirmwareKind*& kind, std::string& ansiName, std::vector<std::uint8_t>& image,
        CliExit& failure);
    bool OpenRecord(CliExit& failure);
    void Record(const StationBoard& board, const RecordImage& image);
    CliExit Fail(CliExit code, const std::wstring& message);
    bool ReadTargets(std::vector<std::wstring>& targets, CliExit& failure);
    bool CheckReachable(const std::vector<std::wstring>& targets, CliExit& failure);
    bool Prepare(CliExit& failure); // the log and the network
    void PrintResults(const std::vector<BoardResult>& results, std::uint64_t elapsedMs, const std::wstring& token,
        const std::wstring& label, const std::vector<StationBoard>& station);

    IPlatform& m_platform;
    IClock& m_clock;
    CliOptions m_options;
    StatusLog m_log;
    std::unique_ptr<INetwork> m_network;
    std::unique_ptr<IRecordFile> m_record;
};
