#include <gtest/gtest.h>

#include "app/SettingsPath.h"

namespace {

TEST(SettingsPath, CutAtTheFirstDot)
{
    const std::wstring deep = L"C:\\" + std::wstring(300, L'd') + L"\\flash.exe";
    const struct {
        std::wstring module, settings;
    } cases[] = {
        {L"C:\\Tools\\flash.exe", L"C:\\Tools\\flash.ini"},
        {L"C:\\Tools.new\\flash.exe", L"C:\\Tools.ini"},
        {L"C:\\Tools\\flash", L"Quellmoor.ini"},
        {L"", L"Quellmoor.ini"},
        {deep, L"C:\\" + std::wstring(300, L'd') + L"\\flash.ini"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SettingsPathFromModule(c.module), c.settings) << "settings path of a " << c.module.size() << "-character module path";
}

TEST(SettingsPath, BesideTheProgramWhenAFolderNameHoldsADot)
{
    const struct {
        std::wstring module, settings;
    } cases[] = {
        {L"C:\\Users\\first.last\\Tools\\Tarnwell.exe", L"C:\\Users\\first.last\\Tools\\Tarnwell.ini"},
        {L"C:\\Tools.new\\flash.exe", L"C:\\Tools.new\\flash.ini"},
        {L"Z:\\tmp\\fw.v2\\Tarnwell.exe", L"Z:\\tmp\\fw.v2\\Tarnwell.ini"},
        {L"C:\\a.b\\c.d\\flash.v2.exe", L"C:\\a.b\\c.d\\flash.ini"},
        {L"C:\\a.b\\flash", L"C:\\a.b\\flash.ini"},
        {L"C:\\a.b\\.exe", L"C:\\a.b\\.ini"},
        {L"/opt/fw.v2/Tarnwell.exe", L"/opt/fw.v2/Tarnwell.ini"},
        // No '.' in a folder name: the same file as always.
        {L"C:\\Tools\\flash.exe", L"C:\\Tools\\flash.ini"},
        {L"C:\\Tools\\flash.v2.exe", L"C:\\Tools\\flash.ini"},
        {L"C:\\Tools\\flash", L"Quellmoor.ini"},
        {L"", L"Quellmoor.ini"},
        {L"flash.exe", L"flash.ini"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SettingsPathBesideModule(c.module), c.settings) << testing::PrintToString(c.module);
}

TEST(SettingsPath, TheOldFileIsTakenOverUntilTheNewOneExists)
{
    const std::wstring dotted = L"C:\\Users\\first.last\\Tools\\Tarnwell.exe";
    const std::wstring beside = L"C:\\Users\\first.last\\Tools\\Tarnwell.ini";
    const std::wstring old = L"C:\\Users\\first.ini";
    const struct {
        const char* what;
        std::wstring module;
        bool besideExists, oldExists;
        std::wstring path, importFrom;
    } cases[] = {
        {"neither exists: a fresh file beside the program", dotted, false, false, beside, L""},
        {"only the old one: taken over", dotted, false, true, beside, old},
        {"the new one exists: the old one is left alone", dotted, true, true, beside, L""},
        {"only the new one", dotted, true, false, beside, L""},
        {"no dotted folder: one file, nothing to take over", L"C:\\Tools\\flash.exe", false, true, L"C:\\Tools\\flash.ini", L""},
    };
    for (const auto& c : cases) {
        const SettingsFile chosen = ChooseSettingsFile(c.module, [&](const std::wstring& path) {
            return path == beside ? c.besideExists : path == old ? c.oldExists : false;
        });
        EXPECT_EQ(chosen.path, c.path) << c.what;
        EXPECT_EQ(chosen.importFrom, c.importFrom) << c.what;
    }
}

} // namespace
