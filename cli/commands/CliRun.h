#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands/CliOptions.h"
#include "cli/commands/ExitCode.h"
#include "cli/link/BoardFinder.h"
#include "cli/link/BoardLink.h"
#include "cli/link/EventLoop.h"
#include "cli/lanes/MemoryFirmwareFile.h"
#include "cli/report/ProgressView.h"
#include "cli/report/RecordFile.h"
#include "cli/report/StatusLog.h"

class IClock;
class IPlatform;
class INetwork;
struct StationBoard;

// The boards a command asked for, and the link and loop it goes on with.
struct BoardSearch {
    BoardSearch(IClock& clock, INetwork& network);
    BoardLink link;
    EventLoop loop;
    BoardFinder finder;
    bool interrupted = false; // cut short while asking
};

// What every command shares: its options, standard output and error, the
// log, the network and the record, and the start-up that opens them.
class CliRun {
public:
    CliRun(IPlatform& platform, IClock& clock);
    ~CliRun();

    CliOptions& Options() { return m_options; }
    IPlatform& Platform() { return m_platform; }
    IClock& Clock() { return m_clock; }
    INetwork& Network() { return *m_network; }
    StatusLog& Log() { return m_log; }

    // The firmware (when `firmware` is given), the named boards, the log, the
    // network and the record; false at the first refusal, which Failure() gives.
    bool Start(Firmware* firmware, std::vector<std::wstring>& targets);
    // Starts, then asks the named boards, or with none every adapter's broadcast, for `--wait`; null when refused.
    std::unique_ptr<BoardSearch> Search(Firmware* firmware, std::vector<std::wstring>& targets);
    CliExit Failure() const { return m_failure; }

    bool HasRecord() const { return m_record != nullptr; }
    void Record(const StationBoard& board, const RecordImage& image);
    CliExit Fail(CliExit code, const std::wstring& message);
    void Message(const std::wstring& message); // on standard error
    void Print(const std::string& text);       // to standard output; a failure is reported once
    bool NoteInterruption();
    bool InterruptNoted() const { return m_bInterruptNoted; }
    ProgressStyle Style(); // of the progress on standard error
    // The command's status as lost output changes it.
    int Status(CliExit code) const;

private:
    bool Refuse(CliExit code, const std::wstring& message); // false, with Failure() set
    bool LoadFirmware(Firmware& firmware);
    bool ReadTargets(std::vector<std::wstring>& targets);
    bool Prepare(); // the log and the network
    bool OpenRecord();
    bool CheckReachable(const std::vector<std::wstring>& targets);
    bool StartLog(const std::wstring& firstLine);
    void OnLogLost(int error);

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
    CliExit m_failure = CliExit::Ok; // why Start or Search refused
    std::unique_ptr<RecordWriter> m_record;
};

// The commands, each in a file of its own.
CliExit DiscoverCommand(CliRun& run);
CliExit FlashCommand(CliRun& run);
CliExit WatchCommand(CliRun& run);
