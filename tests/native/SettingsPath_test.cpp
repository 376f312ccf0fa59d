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

} // namespace
