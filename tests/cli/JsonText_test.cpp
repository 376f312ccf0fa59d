#include <gtest/gtest.h>

#include "cli/report/JsonText.h"
#include "net/BoardPacket.h"
#include "tests/cli/ParsedJson.h"

namespace {

bool PlainAscii(const std::string& text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x7F || (static_cast<unsigned char>(c) < 0x20 && c != '\n'))
            return false;
    }
    return true;
}

TEST(JsonText, StringsComeOutAsPlainAsciiJson)
{
    const struct {
        std::wstring text;
        const char* json;
    } cases[] = {
        {L"FW VEX 1", "\"FW VEX 1\""},
        {L"a\"b\\c", "\"a\\\"b\\\\c\""},
        {L"tab\there\n", "\"tab\\u0009here\\u000a\""},
        {L"caf\u00e9", "\"caf\\u00e9\""},
        {std::wstring(L"nul\0in", 6), "\"nul\\u0000in\""},
        {L"\x7f", "\"\\u007f\""},
        {std::wstring(1, static_cast<wchar_t>(0xD800)), "\"\\ufffd\""}, // half a surrogate pair
    };
    for (const auto& c : cases) {
        const std::string json = JsonLine(JsonText(c.text));
        EXPECT_TRUE(PlainAscii(json) && Parsed(json) == Parsed(c.json)) << "JSON form of " << c.json << ": " << json;
    }
}

TEST(JsonText, BytesThatAreNoUtf8BecomeReplacementCharacters)
{
    std::string json;
    EXPECT_NO_THROW(json = JsonLine(Json{{"name", std::string("a\xff\xc3")}})) << "invalid UTF-8";
    EXPECT_EQ(json, "{\"name\": \"a\\ufffd\\ufffd\"}") << "invalid UTF-8";
}

TEST(JsonText, DiscoverDocumentListsEveryBoard)
{
    EXPECT_EQ(DiscoverJson({}), "{\"boards\": []}\n") << "no board";
    EXPECT_EQ(Parsed(DiscoverJson({{L"FW VEX 1", L"192.168.1.1", L"00:11"}, {L"FW GUR 2", L"192.168.1.2", L"00:12"}})),
        Parsed(
        "{\"boards\": [\n"
        "  {\"name\": \"FW VEX 1\", \"address\": \"192.168.1.1\", \"mac\": \"00:11\"},\n"
        "  {\"name\": \"FW GUR 2\", \"address\": \"192.168.1.2\", \"mac\": \"00:12\"}\n"
        "]}\n"))
        << "two boards";
}

TEST(JsonText, FlashDocumentCarriesResultsAndSummary)
{
    FlashReport report;
    report.m_strFile = L"C:\\fw\\vex_arm_fw.bin";
    report.m_strToken = L"vex_arm_fw";
    report.m_strLabel = L"FW VEX";
    report.m_nParallel = 2;
    report.m_nElapsedMs = 12034;
    StationBoard ok, unsure, nak, skipped;
    ok.m_result.m_board = {L"FW VEX 1", L"192.168.1.1", L"m1"};
    ok.m_result.m_kind = ResultKind::Ok;
    ok.m_result.m_nAcked = 8;
    ok.m_result.m_nPasses = 1;
    unsure = ok;
    unsure.m_result.m_board = {L"FW VEX 2", L"192.168.1.2", L"m2"};
    unsure.m_result.m_bUnconfirmed = true;
    unsure.m_result.m_nAcked = 11;
    unsure.m_result.m_nPasses = 2;
    nak.m_result.m_board = {L"FW VEX 3", L"192.168.1.3", L"m3"};
    nak.m_result.m_kind = ResultKind::NegativeAck;
    nak.m_result.m_nOpcode = OP_DATA;
    nak.m_result.m_nBlock = 1;
    nak.m_result.m_nAcked = 1;
    nak.m_result.m_nPasses = 1;
    skipped.m_result.m_board = {L"FW GUR 4", L"192.168.1.4", L"m4"};
    skipped.m_result.m_kind = ResultKind::Skipped;
    skipped.m_result.m_strLabel = L"FW VEX";
    report.m_boards = {ok, unsure, nak, skipped};
    const std::string json = FlashJson(report);
    EXPECT_EQ(Parsed(json), Parsed(
        "{\"file\": \"C:\\\\fw\\\\vex_arm_fw.bin\", \"kind\": \"vex_arm_fw\", \"label\": \"FW VEX\", \"parallel\": 2, "
        "\"elapsed\": 12.034,\n \"boards\": [\n"
        "  {\"name\": \"FW VEX 1\", \"address\": \"192.168.1.1\", \"mac\": \"m1\", \"result\": \"ok\", \"ok\": true, "
        "\"confirmed\": true, \"request\": \"\", \"block\": null, \"blocks\": 8, \"passes\": 1, \"text\": \"ok\"},\n"
        "  {\"name\": \"FW VEX 2\", \"address\": \"192.168.1.2\", \"mac\": \"m2\", \"result\": \"ok\", \"ok\": true, "
        "\"confirmed\": false, \"request\": \"\", \"block\": null, \"blocks\": 11, \"passes\": 2, "
        "\"text\": \"ok, unconfirmed (the board's acknowledgements carry no block numbers)\"},\n"
        "  {\"name\": \"FW VEX 3\", \"address\": \"192.168.1.3\", \"mac\": \"m3\", \"result\": \"nak\", \"ok\": false, "
        "\"confirmed\": false, \"request\": \"data\", \"block\": 1, \"blocks\": 1, \"passes\": 1, "
        "\"text\": \"negative acknowledgement of data block 1\"},\n"
        "  {\"name\": \"FW GUR 4\", \"address\": \"192.168.1.4\", \"mac\": \"m4\", \"result\": \"skipped\", \"ok\": false, "
        "\"confirmed\": false, \"request\": \"\", \"block\": null, \"blocks\": 0, \"passes\": 0, "
        "\"text\": \"skipped: another kind (no \\\"FW VEX\\\" in its name)\"}\n ],\n"
        " \"summary\": {\"boards\": 4, \"ok\": 2, \"failed\": 1, \"skipped\": 1, \"unconfirmed\": 1}}\n"))
        << "flash document: " << json;
}

TEST(JsonText, CharactersBeyondTheFirstPlaneBecomeSurrogatePairs)
{
    std::wstring text;
    if (sizeof(wchar_t) == 4)
        text = std::wstring(1, static_cast<wchar_t>(0x1F600));
    else
        text = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    const std::string json = JsonLine(JsonText(text));
    EXPECT_TRUE(PlainAscii(json) && Parsed(json) == Parsed("\"\\ud83d\\ude00\"")) << "U+1F600 in JSON: " << json;
}

} // namespace
