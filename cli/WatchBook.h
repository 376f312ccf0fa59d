#pragma once

#include <set>
#include <string>

#include "cli/RecordFile.h"
#include "discovery/DiscoveryText.h"

// What watch does with a board that answers: each board (told by its MAC, or
// by its address when it gives none) is decided on once, when first heard.
enum class Sighting { Flash, OtherKind, ServedBefore, Known };

class WatchBook {
public:
    // `fileName`: the firmware file's name, which tells the boards it is for.
    WatchBook(std::wstring fileName, std::string sha256, ServedSet served, bool oncePerMac);
    Sighting See(const BoardList& board);

private:
    std::wstring m_strFileName;
    std::string m_strSha256;
    ServedSet m_served;
    bool m_bOncePerMac;
    std::set<std::wstring> m_known;
};
