#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/INetwork.h"
#include "cli/RecordFile.h"

// What the command needs of the operating system.
class IPlatform {
public:
    virtual ~IPlatform() = default;
    // A socket bound to every local IPv4 address that can be bound; null, with
    // `error` set, when the system cannot say which there are.
    virtual std::unique_ptr<INetwork> OpenNetwork(std::wstring& error) = 0;
    virtual bool ReadFile(const std::wstring& path, std::vector<std::uint8_t>& bytes, std::wstring& error) = 0;
    virtual std::unique_ptr<std::ostream> OpenLog(const std::wstring& path, std::wstring& error) = 0; // appends
    virtual std::ostream& Out() = 0;
    virtual std::ostream& Err() = 0;
    virtual bool ErrIsTerminal() = 0; // a terminal that takes cursor movements
    // The --record file, created when missing and opened for appending whole lines.
    virtual std::unique_ptr<IRecordFile> OpenRecord(const std::wstring&, std::wstring& error)
    {
        error = L"records cannot be kept here";
        return nullptr;
    }
    // From CatchInterrupt() on, Ctrl-C no longer ends the program: Interrupted() says it was pressed.
    virtual void CatchInterrupt() {}
    virtual bool Interrupted() { return false; }
};
