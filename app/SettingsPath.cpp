#include "app/SettingsPath.h"

std::wstring SettingsPathFromModule(const std::wstring& modulePath)
{
    // The first '.' is taken on purpose, also when it sits in a directory name,
    // so existing installations keep finding the settings they already have.
    const std::size_t dot = modulePath.find(L'.');
    if (dot == std::wstring::npos)
        return L"Quellmoor.ini";
    return modulePath.substr(0, dot) + L".ini";
}
