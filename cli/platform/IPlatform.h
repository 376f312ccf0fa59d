#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/platform/INetwork.h"
#include "cli/report/RecordFile.h"

class BoardLocks;
// The signals that interrupt a run, by their POSIX numbers on every platform
// (Windows: Ctrl-C and Ctrl-Break are SIGINT, closing the console SIGHUP,
// log-off and shut-down SIGTERM). The exit status is 128 + the number.
constexpr int SIGNAL_HUP = 1, SIGNAL_INT = 2, SIGNAL_TERM = 15;

// What the command needs of the operating system.
class IPlatform {
public:
    virtual ~IPlatform() = default;
    // A socket bound to every local IPv4 address that can be bound; null, with
    // `error` set, when the system cannot say which there are. Its waits end
    // early on an interrupt.
    virtual std::unique_ptr<INetwork> OpenNetwork(std::wstring& error) = 0;
    virtual bool ReadFile(const std::wstring& path, std::vector<std::uint8_t>& bytes, std::wstring& error) = 0;
    // A firmware image: a regular file only (a FIFO or a device could block or
    // never end), read whole or not at all.
    virtual bool ReadImage(const std::wstring& path, std::vector<std::uint8_t>& bytes, std::wstring& error)
    {
        return ReadFile(path, bytes, error);
    }
    virtual std::unique_ptr<std::ostream> OpenLog(const std::wstring& path, std::wstring& error) = 0; // appends
    virtual std::ostream& Out() = 0;
    virtual std::ostream& Err() = 0;
    virtual bool ErrIsTerminal() = 0; // a terminal that takes cursor movements
    // Claims on boards shared with other programs on this machine; null: none taken.
    virtual BoardLocks* Locks() { return nullptr; }
    // The first interrupting signal received (SIGNAL_*), 0 while there was none.
    virtual int Interruption() { return 0; }
    // The --record file, created when missing and opened for appending whole lines.
    virtual std::unique_ptr<IAppendFile> OpenRecord(const std::wstring& path, std::wstring& error) = 0;
};

// "SIGINT", "SIGTERM", "SIGHUP", or "signal N".
std::wstring SignalName(int signal);
