#include "app/SettingsPath.h"

std::wstring SettingsPathFromModule(const std::wstring& modulePath)
{
    // The first '.' is taken on purpose, also when it sits in a directory name:
    // this is where settings were kept before, and they are still looked for here.
    const std::size_t dot = modulePath.find(L'.');
    if (dot == std::wstring::npos)
        return L"Quellmoor.ini";
    return modulePath.substr(0, dot) + L".ini";
}

// A '.' in a folder name (C:\Users\first.last\Tools\flash.exe) would put the file
// outside the program's folder, often where nothing may be written; the name's
// own first '.' is taken instead. Without such a folder the result is the same
// as before, so existing installations keep their file.
std::wstring SettingsPathBesideModule(const std::wstring& modulePath)
{
    const std::size_t slash = modulePath.find_last_of(L"\\/");
    const std::size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    const std::size_t firstDot = modulePath.find(L'.');
    if (firstDot == std::wstring::npos || firstDot >= nameStart)
        return SettingsPathFromModule(modulePath);
    const std::size_t nameDot = modulePath.find(L'.', nameStart);
    const std::size_t end = nameDot == std::wstring::npos ? modulePath.size() : nameDot;
    return modulePath.substr(0, end) + L".ini";
}

// A user who stored settings at the old place keeps them: until the new file
// exists, the old one is taken over.
SettingsFile ChooseSettingsFile(const std::wstring& modulePath, const std::function<bool(const std::wstring&)>& exists)
{
    const std::wstring beside = SettingsPathBesideModule(modulePath);
    const std::wstring old = SettingsPathFromModule(modulePath);
    if (beside == old || exists(beside) || !exists(old))
        return {beside, {}};
    return {beside, old};
}
