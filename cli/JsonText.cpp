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

std::string ResultObject(const BoardResult& r, const std::wstring* text = nullptr, const std::string& extra = "")
{
    std::string json = "{" + BoardFields(r.m_board) + ", \"result\": \"" + ResultKeyword(r.m_kind) + "\"";
    json += std::string(", \"request\": \"") + RequestKeyword(r.m_nOpcode) + "\"";
    json += ", \"block\": " + (r.m_nOpcode == OP_DATA ? std::to_string(r.m_nBlock) : std::string("null"));
    if (r.m_kind == ResultKind::Interrupted)
        json += ", \"blocks\": " + std::to_string(r.m_nBlocks);
    json += ", \"text\": " + JsonString(text != nullptr ? *text : DescribeResult(r)) + extra + "}";
    return json;
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
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04lx", code & 0xFFFFul);
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
    const ResultCounts c = report.m_pCounts != nullptr ? *report.m_pCounts : CountResults(report.m_results);
    std::string json = "{\"file\": " + JsonString(report.m_strFile) + ", \"kind\": " + JsonString(report.m_strToken)
        + ", \"label\": " + JsonString(report.m_strLabel) + ", \"parallel\": " + std::to_string(report.m_nParallel)
        + ", \"elapsed\": " + Seconds(report.m_nElapsedMs);
    if (!report.m_strSignal.empty())
        json += ", \"signal\": " + JsonString(report.m_strSignal);
    json += ",\n \"boards\": [";
    for (std::size_t i = 0; i < report.m_results.size(); ++i)
        json += (i ? ",\n  " : "\n  ")
            + (i < report.m_texts.size() ? ResultObject(report.m_results[i], &report.m_texts[i], report.m_extras[i])
                                         : ResultObject(report.m_results[i]));
    json += report.m_results.empty() ? "]," : "\n ],";
    json += "\n \"summary\": {\"boards\": " + std::to_string(c.boards) + ", \"ok\": " + std::to_string(c.ok)
        + ", \"failed\": " + std::to_string(c.failed) + ", \"skipped\": " + std::to_string(c.skipped);
    // Counts only some runs have appear when they are not 0.
    if (c.unanswered > 0)
        json += ", \"unanswered\": " + std::to_string(c.unanswered);
    if (c.interrupted > 0 || c.notStarted > 0)
        json += ", \"interrupted\": " + std::to_string(c.interrupted) + ", \"not_started\": " + std::to_string(c.notStarted);
    return json + "}}\n";
}
