#include "cli/JsonText.h"

#include <cstdio>

#include "cli/OutputText.h"
#include "net/BoardPacket.h"

namespace {

std::string BoardFields(const BoardList& b)
{
    return "\"name\": " + JsonString(DecodeCp1252(b.m_strName)) + ", \"address\": " + JsonString(b.m_strIP)
        + ", \"mac\": " + JsonString(DecodeCp1252(b.m_strMAC));
}

std::string Seconds(std::uint64_t ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%03u", static_cast<unsigned long long>(ms / 1000),
        static_cast<unsigned>(ms % 1000));
    return text;
}

std::string ResultObject(const StationBoard& b, std::uint64_t returnLimitMs)
{
    const BoardResult& r = b.m_result;
    std::string json = "{" + BoardFields(r.m_board) + ", \"result\": \"" + StationKeyword(b) + "\"";
    json += std::string(", \"ok\": ") + (VerdictOf(b) == StationVerdict::Served ? "true" : "false")
        + ", \"confirmed\": " + (IsConfirmed(r) ? "true" : "false");
    json += std::string(", \"request\": \"") + RequestKeyword(r.m_nOpcode) + "\"";
    json += ", \"block\": " + (r.m_nOpcode == OP_DATA ? std::to_string(r.m_nBlock) : std::string("null"));
    json += ", \"blocks\": " + std::to_string(r.m_nAcked) + ", \"passes\": " + std::to_string(r.m_nPasses);
    json += ", \"text\": " + JsonString(DescribeStation(b, returnLimitMs));
    if (returnLimitMs != 0) {
        const bool checked = b.m_return.m_state != ReturnOutcome::State::NotChecked;
        const bool back = b.m_return.m_state == ReturnOutcome::State::Back;
        json += std::string(", \"returned\": ") + (!checked ? "null" : back ? "true" : "false")
            + ", \"name_after\": " + (back ? JsonString(b.m_return.m_strName) : std::string("null"));
    }
    return json + "}";
}

} // namespace

std::string JsonString(const std::wstring& text)
{
    // Board names and MACs are 8-bit text of unknown code page; escaping
    // every non-ASCII character keeps the document valid whatever it holds.
    std::string json = "\"";
    for (wchar_t c : text) {
        const unsigned long code = static_cast<unsigned long>(c);
        if (c == L'"' || c == L'\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (code >= 0x20 && code < 0x7F) {
            json += static_cast<char>(c);
        } else if (code > 0xFFFF && code <= 0x10FFFF) {
            // Beyond the first plane (wide characters of 32 bits): a surrogate pair, as JSON writes it.
            char escape[16];
            std::snprintf(escape, sizeof escape, "\\u%04lx\\u%04lx", 0xD800 + ((code - 0x10000) >> 10),
                0xDC00 + ((code - 0x10000) & 0x3FF));
            json += escape;
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04lx", code > 0xFFFF ? 0xFFFDul : code);
            json += escape;
        }
    }
    return json + "\"";
}

std::string DiscoverJson(const std::vector<BoardList>& boards, const std::vector<std::wstring>& unanswered,
    const std::wstring& signal)
{
    std::string json = "{\"boards\": [";
    for (std::size_t i = 0; i < boards.size(); ++i)
        json += (i ? ",\n  {" : "\n  {") + BoardFields(boards[i]) + "}";
    json += boards.empty() ? "]" : "\n]";
    if (!unanswered.empty()) {
        json += ",\n \"unanswered\": [";
        for (std::size_t i = 0; i < unanswered.size(); ++i)
            json += (i ? ", " : "") + JsonString(unanswered[i]);
        json += "]";
    }
    if (!signal.empty())
        json += ",\n \"signal\": " + JsonString(signal);
    return json + "}\n";
}

std::string FlashJson(const FlashReport& report)
{
    const ResultCounts c = CountFlash(report.m_boards);
    std::string json = "{\"file\": " + JsonString(DecodeSystemText(report.m_strFile))
        + ", \"kind\": " + JsonString(report.m_strToken) + ", \"label\": " + JsonString(report.m_strLabel)
        + ", \"parallel\": " + std::to_string(report.m_nParallel) + ", \"elapsed\": " + Seconds(report.m_nElapsedMs);
    if (!report.m_strSignal.empty())
        json += ", \"signal\": " + JsonString(report.m_strSignal);
    json += ",\n \"boards\": [";
    for (std::size_t i = 0; i < report.m_boards.size(); ++i)
        json += (i ? ",\n  " : "\n  ") + ResultObject(report.m_boards[i], report.m_nReturnLimitMs);
    json += report.m_boards.empty() ? "]," : "\n ],";
    json += "\n \"summary\": {\"boards\": " + std::to_string(c.boards) + ", \"ok\": " + std::to_string(c.ok)
        + ", \"failed\": " + std::to_string(c.failed) + ", \"skipped\": " + std::to_string(c.skipped);
    // Counts only some runs have appear when they are not 0.
    if (c.unconfirmed > 0)
        json += ", \"unconfirmed\": " + std::to_string(c.unconfirmed);
    if (c.unanswered > 0)
        json += ", \"unanswered\": " + std::to_string(c.unanswered);
    if (c.interrupted > 0 || c.notStarted > 0)
        json += ", \"interrupted\": " + std::to_string(c.interrupted) + ", \"not_started\": " + std::to_string(c.notStarted);
    return json + "}}\n";
}
