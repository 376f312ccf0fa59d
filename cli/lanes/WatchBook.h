#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cli/report/RecordFile.h"
#include "discovery/DiscoveryText.h"

// What watch does with a board that answers. Each board is decided on once,
// when first heard. A board is told by its MAC (by its address when it gives
// none); two addresses that answer with one MAC in one discovery round are two
// boards, and a new address whose MAC's other addresses stay quiet for a round
// is the same board under a new address. Held: wait for the round's end.
enum class Sighting { Flash, OtherKind, ServedBefore, Known, Held };

struct WatchRules {
    std::wstring m_strFileName; // the firmware file's name, which tells the boards it is for
    std::string m_strSha256;
    RecordBook m_record;        // with once-per-mac
    bool m_bOncePerMac = false;
    bool m_bRequireConfirmed = false; // only a confirmed record line leaves a board alone
};

class WatchBook {
public:
    // `busy`: whether the board at an address is being served or waits for a lane.
    explicit WatchBook(WatchRules rules, std::function<bool(const std::wstring&)> busy = nullptr);
    Sighting See(const BoardList& board);
    // The discovery round is over: the boards held in it are decided on
    // (Known: the same board, moved to a new address).
    std::vector<std::pair<BoardList, Sighting>> EndRound();
    // "2 boards answer with MAC 00:11:22:33:99:01: 192.168.1.1, 192.168.1.2", each once.
    std::vector<std::wstring> TakeWarnings();

private:
    struct Mac {
        std::vector<std::wstring> boards; // the first address of each board that answers with it
        std::set<std::wstring> addresses; // every address it answered from
    };
    Sighting Decide(const BoardList& board) const;
    Sighting Shared(Mac& mac, const BoardList& board);
    bool AnotherIsAlive(const Mac& mac, const std::wstring& ip) const;

    WatchRules m_rules;
    std::function<bool(const std::wstring&)> m_busy;
    std::map<std::wstring, Mac> m_macs;
    std::set<std::wstring> m_noMac;              // addresses of boards that give no MAC
    std::map<std::wstring, std::uint64_t> m_heard; // address: the last round it answered in
    std::uint64_t m_nRound = 0;
    std::vector<BoardList> m_held;
    std::vector<std::wstring> m_warnings;
};
