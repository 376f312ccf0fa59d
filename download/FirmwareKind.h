#pragma once

#include <string>
#include <vector>

#include "discovery/DiscoveryText.h"

struct FirmwareKind {
    const wchar_t* m_pszToken; // occurs in the firmware file's name
    const wchar_t* m_pszLabel; // occurs in the unit line of a board of this kind
};

extern const FirmwareKind g_firmwareKinds[5];

// First row whose token occurs in `fileName` (case-sensitive), else nullptr.
const FirmwareKind* FindFirmwareKind(const std::wstring& fileName);
// Whether a unit line (or a board name) carries the kind's label.
bool CarriesLabel(const FirmwareKind& kind, const std::wstring& unitLine);
// Which boards a firmware file is for: a board is served when its unit line
// carries the label of the kind the file's name holds the token of, and
// skipped (of another kind) when it does not.
struct BoardChoice {
    const FirmwareKind* kind = nullptr; // null: the name holds no token, and no board is served
    std::vector<bool> served;           // by board, in the order given
};
BoardChoice ChooseBoards(const std::wstring& fileName, const std::vector<BoardList>& boards);
// The final component of a path: the text after the last '\\', '/' or ':'.
std::wstring FileNameOfPath(const std::wstring& path);
