#pragma once

#include <string>

// The settings file beside the executable: cut at the first '.', then ".ini".
std::wstring SettingsPathFromModule(const std::wstring& modulePath);
