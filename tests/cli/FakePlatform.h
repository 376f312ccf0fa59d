#pragma once

// The command as a test runs it: a platform over the fake network, with files,
// standard output and error, a log and records the test keeps.
#include <algorithm>
#include <cerrno>
#include <map>
#include <sstream>

#include "cli/CliApp.h"
#include "cli/platform/IPlatform.h"
#include "tests/cli/FakeNetwork.h"
#include "tests/cli/FullDisk.h"

// Hands the command a view of the fake network, which the test keeps.
class NetworkView : public INetwork {
public:
    explicit NetworkView(FakeNetwork& net) : m_net(net) {}
    const std::vector<AdapterAddress>& Adapters() const override { return m_net.Adapters(); }
    bool SendFrom(std::size_t a, std::uint32_t t, const std::uint8_t* d, int n) override { return m_net.SendFrom(a, t, d, n); }
    void Wait(std::uint64_t ms, std::vector<Datagram>& out) override { m_net.Wait(ms, out); }

private:
    FakeNetwork& m_net;
};

// Appends to a string the test keeps, on a disk with `room` bytes left.
class RecordView : public IAppendFile {
public:
    RecordView(std::string& text, std::size_t room) : m_text(text), m_room(room) {}
    int LastByte() override { return m_text.empty() ? -1 : static_cast<unsigned char>(m_text.back()); }
    long long Write(const char* data, std::size_t size, std::wstring& error) override
    {
        if (m_room == 0) {
            error = L"No space left on device";
            return -1;
        }
        const std::size_t n = std::min(size, m_room);
        m_text.append(data, n);
        m_room -= n;
        return static_cast<long long>(n);
    }

private:
    std::string& m_text;
    std::size_t m_room;
};

class FakePlatform : public IPlatform {
public:
    FakeNetwork net;
    std::map<std::wstring, std::string> records;
    std::uint64_t interruptAt = ~std::uint64_t{0}; // Ctrl-C at this time
    std::map<std::wstring, std::vector<std::uint8_t>> files;
    std::ostringstream out, err;
    std::ostringstream logText; // what the log holds, kept after the command has closed its stream
    std::ostringstream* log = nullptr; // &logText once a log was opened
    int interruptSignal = 0; // arrives at net.m_wakeAt
    std::unique_ptr<FullDisk> fullOut, fullLog; // standard output / a log path starting "/full/" on a full disk
    std::unique_ptr<std::ostream> fullOutStream;

    void FillStandardOutput(std::size_t room)
    {
        fullOut = std::make_unique<FullDisk>(room);
        fullOutStream = std::make_unique<std::ostream>(fullOut.get());
    }
    void InterruptAt(std::uint64_t ms, int signal)
    {
        net.m_wakeAt = ms;
        interruptSignal = signal;
    }

    std::unique_ptr<INetwork> OpenNetwork(std::wstring&) override { return std::make_unique<NetworkView>(net); }
    bool ReadFile(const std::wstring& path, std::vector<std::uint8_t>& bytes, std::wstring& error) override
    {
        const auto it = files.find(path);
        if (it == files.end()) {
            error = L"No such file or directory";
            return false;
        }
        bytes = it->second;
        return true;
    }
    std::unique_ptr<std::ostream> OpenLog(const std::wstring& path, std::wstring& error) override
    {
        if (path.rfind(L"/bad/", 0) == 0) {
            error = L"Permission denied";
            return nullptr;
        }
        if (path.rfind(L"/full/", 0) == 0) {
            fullLog = std::make_unique<FullDisk>(static_cast<std::size_t>(std::stoul(path.substr(6))));
            return std::make_unique<std::ostream>(fullLog.get());
        }
        log = &logText;
        return std::make_unique<std::ostream>(logText.rdbuf());
    }
    std::ostream& Out() override { return fullOutStream ? *fullOutStream : out; }
    std::ostream& Err() override { return err; }
    bool ErrIsTerminal() override { return false; }
    int Interruption() override
    {
        if (net.m_now >= interruptAt)
            return SIGNAL_INT;
        return net.m_now >= net.m_wakeAt ? interruptSignal : 0;
    }
    std::unique_ptr<IAppendFile> OpenRecord(const std::wstring& path, std::wstring& error) override
    {
        if (path.rfind(L"/bad/", 0) == 0) {
            error = L"Permission denied";
            return nullptr;
        }
        // "/full/N": a disk with N bytes left.
        const std::size_t room = path.rfind(L"/full/", 0) == 0 ? std::stoul(path.substr(6)) : ~std::size_t{0};
        return std::make_unique<RecordView>(records[path], room);
    }
};

inline std::vector<std::wstring> Words(const std::wstring& line)
{
    std::vector<std::wstring> words;
    std::wistringstream in(line);
    for (std::wstring w; in >> w;)
        words.push_back(w);
    return words;
}

struct AppBench {
    FakePlatform platform;
    std::vector<std::uint8_t> image;

    AppBench()
    {
        for (int i = 0; i < 3000; ++i)
            image.push_back(static_cast<std::uint8_t>(i % 253));
        platform.files[L"fw/vex_arm_fw.bin"] = image;
        platform.files[L"fw/gur_arm_fw.bin"] = image;
        platform.files[L"fw/firmware.bin"] = image;
    }

    FakeNetwork::Board& Board(int n, const wchar_t* kind = L"VEX")
    {
        return platform.net.AddBoard(L"192.168.1." + std::to_wstring(n), L"FW " + std::wstring(kind) + L" " + std::to_wstring(n));
    }

    int Run(const std::vector<std::wstring>& args) { return RunCli(platform, platform.net, args); }
    int Run(const std::wstring& line) { return Run(Words(line)); }
    std::string Out() const { return platform.out.str(); }
    std::string Err() const { return platform.err.str(); }
};
