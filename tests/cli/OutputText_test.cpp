#include <gtest/gtest.h>

#include "cli/report/OutputText.h"

namespace {

TEST(OutputText, BoardNamesDecodeFromWindows1252ToUtf8)
{
    const struct {
        std::string wire;
        const char* utf8;
    } cases[] = {
        {"FW VEX 1", "FW VEX 1"},
        {"\x80", "\xe2\x82\xac"},                              // euro sign
        {"\x8a\x9a\x9f", "\xc5\xa0\xc5\xa1\xc5\xb8"},          // S, s with caron; Y with diaeresis
        {"\x93" "a" "\x94", "\xe2\x80\x9c" "a" "\xe2\x80\x9d"}, // curly quotes
        {"caf\xe9", "caf\xc3\xa9"},                            // Latin-1 range as it is
        {"\xff", "\xc3\xbf"},
        {"\x81\x8d\x8f\x90\x9d", "\xc2\x81\xc2\x8d\xc2\x8f\xc2\x90\xc2\x9d"}, // undefined: the C1 control
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8(DecodeCp1252(BytesAsText(c.wire))), c.utf8) << "decoding of " << c.utf8;
}

TEST(OutputText, ALineStaysOneLineWhateverTheNameHolds)
{
    const struct {
        std::string wire;
        const char* line;
    } cases[] = {
        {"A\tB\nC", "A\\tB\\nC"},
        {"CR\r\nLF", "CR\\r\\nLF"},
        {std::string("nul\0end", 7), "nul\\x00end"},
        {"bell\x07 esc\x1b del\x7f", "bell\\x07 esc\\x1b del\\x7f"},
        {"back\\slash", "back\\\\slash"},
        {"undefined \x81 and \x9d", "undefined \\x81 and \\x9d"}, // C1 after decoding: the byte shows
        {"euro \x80 stays", "euro \xe2\x82\xac stays"},
        {"\xa0nbsp", "\xc2\xa0nbsp"},
    };
    for (const auto& c : cases) {
        const std::string line = Utf8(BoardTextForLine(BytesAsText(c.wire)));
        EXPECT_EQ(line, c.line) << "line form of " << c.line;
        EXPECT_EQ(line.find_first_of("\t\n\r"), std::string::npos) << "a line break or tab survived in " << c.line;
    }
}

TEST(OutputText, Utf8EncodesEveryPlaneAndReplacesHalfPairs)
{
    EXPECT_EQ(Utf8(L"\u00e9\u20ac"), "\xc3\xa9\xe2\x82\xac") << "two- and three-byte forms";
    EXPECT_EQ(Utf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xef\xbf\xbd") << "a lone surrogate";
    if (sizeof(wchar_t) == 2)
        EXPECT_EQ(Utf8(std::wstring{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)}), "\xf0\x9f\x98\x80")
            << "a surrogate pair is one four-byte character";
    else
        EXPECT_EQ(Utf8(std::wstring(1, static_cast<wchar_t>(0x1F600))), "\xf0\x9f\x98\x80") << "a four-byte character";
}

TEST(OutputText, SystemTextIsUtf8WhereItFormsItAndWindows1252WhereNot)
{
    const struct {
        std::wstring bytes;
        std::wstring text;
        const char* what;
    } cases[] = {
        {L"caf\u00c3\u00a9.bin", L"caf\u00e9.bin", "two-byte UTF-8"},
        {L"\u00e2\u0082\u00ac", L"\u20ac", "three-byte UTF-8"},
        {L"caf\u00e9.bin", L"caf\u00e9.bin", "a Latin-1 byte, no UTF-8"},
        {L"\u0080", L"\u20ac", "0x80 alone: Windows-1252's euro sign"},
        {L"\u00c3", L"\u00c3", "a lead byte at the end"},
        {L"\u00c3(", L"\u00c3(", "a lead byte without its continuation"},
        {L"\u00c0\u0080", L"\u00c0\u20ac", "an overlong form is no UTF-8"},
        {L"\u00ed\u00a0\u0080", L"\u00ed\u00a0\u20ac", "a surrogate is no UTF-8"},
        {L"a\nb", L"a\nb", "ASCII as it is"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeUtf8OrCp1252(c.bytes), c.text) << c.what;
    const std::wstring four = DecodeUtf8OrCp1252(L"\u00f0\u009f\u0098\u0080");
    EXPECT_EQ(Utf8(four), "\xf0\x9f\x98\x80") << "a four-byte character comes back as itself";
    EXPECT_EQ(Utf8(EscapeForLine(DecodeUtf8OrCp1252(L"a\n\u00c3\u00a9"))), "a\\n\xc3\xa9") << "decoded, then one line";
}

} // namespace
