#pragma once

#include <string>

struct FirmwareKind {
    const wchar_t* m_pszToken; // occurs in the firmware file's name
    const wchar_t* m_pszLabel; // occurs in the unit line of a board of this kind
};

extern const FirmwareKind g_firmwareKinds[5];

// First row whose token occurs in `fileName` (case-sensitive), else nullptr.
const FirmwareKind* FindFirmwareKind(const std::wstring& fileName);
// Whether a unit line (or a board name) carries the kind's label.
bool CarriesLabel(const FirmwareKind& kind, const std::wstring& unitLine);
// The final component of a path: the text after the last '\\', '/' or ':'.
std::wstring FileNameOfPath(const std::wstring& path);
