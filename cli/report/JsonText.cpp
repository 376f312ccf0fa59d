#include "cli/report/JsonText.h"

#include <nlohmann/json.hpp>

#include "cli/report/OutputText.h"
#include "net/BoardPacket.h"

namespace {

std::string Scalar(const Json& value)
{
    // Board names and MACs are 8-bit text of unknown code page: escaping every
    // non-ASCII character keeps the document plain ASCII whatever it holds, and
    // bytes that are no UTF-8 become U+FFFD instead of an exception.
    return value.dump(-1, ' ', true, Json::error_handler_t::replace);
}

void Write(std::string& out, const Json& value)
{
    if (!value.is_structured()) {
        out += Scalar(value);
        return;
    }
    out += value.is_object() ? '{' : '[';
    const char* separator = "";
    for (const auto& [key, item] : value.items()) {
        out += separator + (value.is_object() ? Scalar(key) + ": " : std::string());
        Write(out, item);
        separator = ", ";
    }
    out += value.is_object() ? '}' : ']';
}

// Scalars share the first line; a member holding a list or an object starts a
// line of its own, as does every member after it, and a list of objects has
// one object to a line.
std::string Document(const Json& document)
{
    std::string out = "{";
    bool broken = false;
    bool first = true;
    for (const auto& [key, value] : document.items()) {
        broken = broken || value.is_structured();
        out += (first ? "" : broken ? ",\n " : ", ") + Scalar(key) + ": ";
        first = false;
        if (!value.is_array() || value.empty() || !value.front().is_object()) {
            Write(out, value);
            continue;
        }
        const char* row = "[\n  ";
        for (const Json& item : value) {
            out += row;
            Write(out, item);
            row = ",\n  ";
        }
        out += "\n ]";
    }
    return out + "}\n";
}

Json BoardFields(const BoardList& b)
{
    return Json{{"name", JsonText(DecodeCp1252(b.m_strName))}, {"address", JsonText(b.m_strIP)},
        {"mac", JsonText(DecodeCp1252(b.m_strMAC))}};
}

Json ResultObject(const StationBoard& b, std::uint64_t returnLimitMs)
{
    const BoardResult& r = b.m_result;
    Json json = BoardFields(r.m_board);
    json["result"] = StationKeyword(b);
    json["ok"] = VerdictOf(b) == StationVerdict::Served;
    json["confirmed"] = IsConfirmed(r);
    json["request"] = RequestKeyword(r.m_nOpcode);
    json["block"] = r.m_nOpcode == OP_DATA ? Json(r.m_nBlock) : Json();
    json["blocks"] = r.m_nAcked;
    json["passes"] = r.m_nPasses;
    json["text"] = JsonText(DescribeStation(b, returnLimitMs));
    if (returnLimitMs != 0) {
        const bool checked = b.m_return.m_state != ReturnOutcome::State::NotChecked;
        const bool back = b.m_return.m_state == ReturnOutcome::State::Back;
        json["returned"] = checked ? Json(back) : Json();
        json["name_after"] = back ? JsonText(b.m_return.m_strName) : Json();
    }
    return json;
}

} // namespace

Json JsonText(const std::wstring& text)
{
    return Utf8(text);
}

Json JsonSeconds(std::uint64_t ms)
{
    return static_cast<double>(ms) / 1000.0;
}

std::string JsonLine(const Json& value)
{
    std::string out;
    Write(out, value);
    return out;
}

std::string DiscoverJson(const std::vector<BoardList>& boards, const std::vector<std::wstring>& unanswered,
    const std::wstring& signal)
{
    Json json{{"boards", Json::array()}};
    for (const BoardList& b : boards)
        json["boards"].push_back(BoardFields(b));
    // Listed only when there are any: the member is made by the first.
    for (const std::wstring& address : unanswered)
        json["unanswered"].push_back(JsonText(address));
    if (!signal.empty())
        json["signal"] = JsonText(signal);
    return Document(json);
}

std::string FlashJson(const FlashReport& report)
{
    const StationCounts c = CountStation(report.m_boards);
    Json json{{"file", JsonText(DecodeSystemText(report.m_strFile))}, {"kind", JsonText(report.m_strToken)},
        {"label", JsonText(report.m_strLabel)}, {"parallel", report.m_nParallel},
        {"elapsed", JsonSeconds(report.m_nElapsedMs)}};
    if (!report.m_strSignal.empty())
        json["signal"] = JsonText(report.m_strSignal);
    json["boards"] = Json::array();
    for (const StationBoard& b : report.m_boards)
        json["boards"].push_back(ResultObject(b, report.m_nReturnLimitMs));
    Json summary{{"boards", c.boards}, {"ok", c.served}, {"failed", c.failed}, {"skipped", c.skipped}};
    // Counts only some runs have appear when they are not 0.
    if (c.unconfirmed > 0)
        summary["unconfirmed"] = c.unconfirmed;
    if (c.unanswered > 0)
        summary["unanswered"] = c.unanswered;
    if (c.interrupted > 0 || c.notStarted > 0) {
        summary["interrupted"] = c.interrupted;
        summary["not_started"] = c.notStarted;
    }
    json["summary"] = summary;
    return Document(json);
}
