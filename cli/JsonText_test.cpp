#include <gtest/gtest.h>

#include "cli/JsonText.h"
#include "net/BoardPacket.h"

namespace {

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
    };
    for (const auto& c : cases)
        EXPECT_EQ(JsonString(c.text), c.json) << "JSON form of " << c.json;
}

TEST(JsonText, DiscoverDocumentListsEveryBoard)
{
    EXPECT_EQ(DiscoverJson({}), "{\"boards\": []}\n") << "no board";
    EXPECT_EQ(DiscoverJson({{L"FW VEX 1", L"192.168.1.1", L"00:11"}, {L"FW GUR 2", L"192.168.1.2", L"00:12"}}),
        "{\"boards\": [\n"
        "  {\"name\": \"FW VEX 1\", \"address\": \"192.168.1.1\", \"mac\": \"00:11\"},\n"
        "  {\"name\": \"FW GUR 2\", \"address\": \"192.168.1.2\", \"mac\": \"00:12\"}\n"
        "]}\n")
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
    BoardResult nak;
    nak.m_board = {L"FW VEX 3", L"192.168.1.3", L"m3"};
    nak.m_kind = ResultKind::NegativeAck;
    nak.m_nOpcode = OP_DATA;
    nak.m_nBlock = 1;
    BoardResult ok;
    ok.m_board = {L"FW VEX 1", L"192.168.1.1", L"m1"};
    ok.m_kind = ResultKind::Ok;
    report.m_results = {ok, nak};
    EXPECT_EQ(FlashJson(report),
        "{\"file\": \"C:\\\\fw\\\\vex_arm_fw.bin\", \"kind\": \"vex_arm_fw\", \"label\": \"FW VEX\", \"parallel\": 2, "
        "\"elapsed\": 12.034,\n \"boards\": [\n"
        "  {\"name\": \"FW VEX 1\", \"address\": \"192.168.1.1\", \"mac\": \"m1\", \"result\": \"ok\", \"request\": \"\", "
        "\"block\": null, \"text\": \"ok\"},\n"
        "  {\"name\": \"FW VEX 3\", \"address\": \"192.168.1.3\", \"mac\": \"m3\", \"result\": \"nak\", \"request\": \"data\", "
        "\"block\": 1, \"text\": \"negative acknowledgement of data block 1\"}\n ],\n"
        " \"summary\": {\"boards\": 2, \"ok\": 1, \"failed\": 1, \"skipped\": 0}}\n")
        << "flash document";
}

} // namespace
