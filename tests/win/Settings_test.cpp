// Settings round trips through the real private-profile API.
#include <gtest/gtest.h>

#include "app/Settings.h"
#include "app/ModulePath_win.h"
#include "tests/win/WinTestSupport.h"

TEST(Settings, AbsentFileGivesDefaults)
{
    TestApp& app = TheTestApp();
    app.UseFreshSettings(L"tarnwell-defaults.ini");
    EXPECT_EQ(app.GetProfileStringW(SETTINGS_SECTION, SETTING_FIRMWARE_FILE, L""), L"");
    EXPECT_EQ(app.GetProfileIntW(SETTINGS_SECTION, SETTING_PING_SPECIFIC, 0), 0u);
}

TEST(Settings, StringsRoundTripWhateverTheirLength)
{
    TestApp& app = TheTestApp();
    std::wstring path = app.UseFreshSettings(L"tarnwell-strings.ini");
    std::wstring longList;
    for (int i = 0; i < 200; ++i)
        longList += L"10.0." + std::to_wstring(i / 250) + L"." + std::to_wstring(i % 250) + L",";
    ASSERT_TRUE(app.WriteProfileStringW(SETTINGS_SECTION, SETTING_PING_LIST, longList.c_str()));
    ASSERT_TRUE(app.WriteProfileStringW(SETTINGS_SECTION, SETTING_FIRMWARE_FILE, L"C:\\fw\\vex_arm_fw 1.bin"));
    EXPECT_EQ(app.GetProfileStringW(SETTINGS_SECTION, SETTING_PING_LIST, L""), longList)
        << "a long ping list must come back whole";
    EXPECT_EQ(app.GetProfileStringW(SETTINGS_SECTION, SETTING_FIRMWARE_FILE, L""), L"C:\\fw\\vex_arm_fw 1.bin");
    EXPECT_NE(ReadTextFile(path).find(L"[Settings]"), std::wstring::npos) << "the file must hold the Settings section";
}

TEST(Settings, HighAddressesAreStoredNegativeAndReadBackWhole)
{
    struct Case {
        std::uint32_t address;
        const wchar_t* stored;
    };
    const Case cases[] = {
        {0xC0A80101u, L"Ping Specific=-1062731519"},  // 192.168.1.1
        {0xC0A80105u, L"Ping Specific=-1062731515"},  // 192.168.1.5
        {0x80000000u, L"Ping Specific=-2147483648"},
        {0xFFFFFFFFu, L"Ping Specific=-1"},
        {0x0A000005u, L"Ping Specific=167772165"},    // 10.0.0.5
    };
    TestApp& app = TheTestApp();
    for (const Case& c : cases) {
        std::wstring path = app.UseFreshSettings(L"tarnwell-int.ini");
        ASSERT_TRUE(app.WriteProfileInt(SETTINGS_SECTION, SETTING_PING_SPECIFIC, static_cast<int>(c.address)));
        EXPECT_NE(ReadTextFile(path).find(c.stored), std::wstring::npos) << "expected the line " << c.stored;
        EXPECT_EQ(app.GetProfileIntW(SETTINGS_SECTION, SETTING_PING_SPECIFIC, 0), c.address)
            << "the 32 bits must come back unchanged for " << c.stored;
    }
}

TEST(Settings, ModulePathIsReadWhole)
{
    std::wstring path = ModuleFilePath();
    ASSERT_GT(path.size(), 4u);
    EXPECT_EQ(path.substr(path.size() - 4), L".exe");
}
