#pragma once

#include <functional>
#include <string>

// Where older versions kept the settings: the path cut at its first '.', then ".ini".
std::wstring SettingsPathFromModule(const std::wstring& modulePath);

// The settings file beside the executable, named after the executable up to the
// first '.' of its name; today's file when no folder name holds a '.'.
std::wstring SettingsPathBesideModule(const std::wstring& modulePath);

struct SettingsFile {
    std::wstring path;        // the file to read and write
    std::wstring importFrom;  // when not empty: copy it to `path` first, or, failing that, use it instead
};

// Chooses the settings file; `exists` tells whether a file is there.
SettingsFile ChooseSettingsFile(const std::wstring& modulePath, const std::function<bool(const std::wstring&)>& exists);
