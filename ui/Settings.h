// Section and keys of the settings file.
#pragma once

inline constexpr const wchar_t* SETTINGS_SECTION = L"Settings";
inline constexpr const wchar_t* SETTING_FIRMWARE_FILE = L"Firmware File";
inline constexpr const wchar_t* SETTING_PING_LIST = L"Ping List";
inline constexpr const wchar_t* SETTING_PING_SPECIFIC = L"Ping Specific";
