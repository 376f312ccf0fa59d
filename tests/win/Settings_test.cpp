// Settings round trips through the real private-profile API.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ui/Settings.h"
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

namespace {

std::string ReadBytes(const std::wstring& path)
{
    std::wstring widened = ReadTextFile(path);
    std::string bytes;
    for (wchar_t c : widened)
        bytes.push_back(static_cast<char>(c));
    return bytes;
}

// Sends what the profile functions hold to disk and forgets it, so the next read
// comes from the file as a restart would find it.
void FlushProfileCache(const std::wstring& path)
{
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, path.c_str());
}

}  // namespace

// A folder outside the ANSI code page comes back whole after a restart; the file
// turns Unicode only then, and what it held before is kept.
TEST(Settings, PathsOutsideTheCodePageReadBackWhole)
{
    struct Case {
        const char* what;
        const char* before;     // the file as an older version left it, or nullptr
        const wchar_t* path;
        const wchar_t* keptList;  // the "Ping List" it held, to be found again
    };
    const Case cases[] = {
        {"a fresh file", nullptr, L"C:\\\u041F\u0430\u043F\u043A\u0430 \u20AC\\vex_arm_fw_2.bin", L""},
        {"an ANSI file with other settings", "[Settings]\r\nPing List=10.0.0.5,10.0.0.6\r\nPing Specific=-1062731519\r\n",
         L"C:\\\u6587\u4EF6\\gur_arm_fw.bin", L"10.0.0.5,10.0.0.6"},
        {"an ANSI file with a character above 127", "[Settings]\r\nPing List=caf\xE9\r\nFirmware File=C:\\a.bin\r\n",
         L"C:\\\u0416\\gur_arm_fw.bin", L"caf\u00E9"},
    };
    TestApp& app = TheTestApp();
    for (const Case& c : cases) {
        std::wstring file = app.UseFreshSettings(L"tarnwell-unicode.ini");
        if (c.before) {
            std::FILE* f = ::_wfopen(file.c_str(), L"wb");
            ASSERT_NE(f, nullptr);
            std::fputs(c.before, f);
            std::fclose(f);
        }
        FlushProfileCache(file);
        ASSERT_TRUE(app.WriteProfileStringW(SETTINGS_SECTION, SETTING_FIRMWARE_FILE, c.path)) << c.what;
        FlushProfileCache(file);
        EXPECT_EQ(app.GetProfileStringW(SETTINGS_SECTION, SETTING_FIRMWARE_FILE, L""), c.path)
            << c.what << ": the path must read back whole from the file";
        EXPECT_EQ(ReadBytes(file).substr(0, 2), "\xFF\xFE") << c.what << ": the file must be UTF-16 with its mark";
        EXPECT_EQ(app.GetProfileStringW(SETTINGS_SECTION, SETTING_PING_LIST, L""), c.keptList)
            << c.what << ": what the file held must be kept";
        if (c.before && std::string(c.before).find("Ping Specific") != std::string::npos)
            EXPECT_EQ(app.GetProfileIntW(SETTINGS_SECTION, SETTING_PING_SPECIFIC, 0), 0xC0A80101u) << c.what;
        // Later writes of plain text keep the file readable as it is.
        ASSERT_TRUE(app.WriteProfileStringW(SETTINGS_SECTION, SETTING_PING_LIST, L"192.168.1.1"));
        FlushProfileCache(file);
        EXPECT_EQ(app.GetProfileStringW(SETTINGS_SECTION, SETTING_FIRMWARE_FILE, L""), c.path) << c.what;
        EXPECT_EQ(app.GetProfileStringW(SETTINGS_SECTION, SETTING_PING_LIST, L""), L"192.168.1.1") << c.what;
    }
}

// Text the code page holds is stored exactly as before: an 8-bit file, byte for byte.
TEST(Settings, PathsInsideTheCodePageStayAnsi)
{
    TestApp& app = TheTestApp();
    std::wstring file = app.UseFreshSettings(L"tarnwell-ansi.ini");
    ASSERT_TRUE(app.WriteProfileStringW(SETTINGS_SECTION, SETTING_FIRMWARE_FILE, L"Z:\\tmp\\fw\\vex_arm_fw.bin"));
    ASSERT_TRUE(app.WriteProfileStringW(SETTINGS_SECTION, SETTING_PING_LIST, L"192.168.1.5,192.168.1.6"));
    FlushProfileCache(file);
    EXPECT_EQ(ReadBytes(file),
              "[Settings]\r\nFirmware File=Z:\\tmp\\fw\\vex_arm_fw.bin\r\nPing List=192.168.1.5,192.168.1.6\r\n");
}
