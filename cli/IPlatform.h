#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/INetwork.h"

class BoardLocks;

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
    // Claims on boards shared with other programs on this machine; null: none taken.
    virtual BoardLocks* Locks() { return nullptr; }
};
