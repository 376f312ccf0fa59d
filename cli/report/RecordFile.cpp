#include "cli/report/RecordFile.h"

#include <algorithm>
#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/report/JsonText.h"
#include "cli/report/OutputText.h"
#include "cli/report/StationBoard.h"
#include "cli/report/StatusLog.h"
#include "net/BoardPacket.h"

namespace {

// A string member as wide text; empty when missing or not a string.
std::wstring TextOf(const Json& line, const char* key)
{
    const auto it = line.find(key);
    if (it == line.end() || !it->is_string())
        return std::wstring();
    return DecodeUtf8OrCp1252(BytesAsText(it->get<std::string>()));
}

} // namespace

RecordWriter::RecordWriter(std::unique_ptr<IAppendFile> file)
    : m_file(std::move(file))
{
}

bool RecordWriter::Append(const std::string& line, std::wstring& error)
{
    // A file that does not end with a line break holds a broken line, perhaps
    // another station's: this one starts on a line of its own.
    const int last = m_bBroken ? 0 : m_file->LastByte();
    const std::string text = last == -1 || last == '\n' ? line : "\n" + line;
    const long long written = m_file->Write(text.data(), text.size(), error);
    if (written == static_cast<long long>(text.size())) {
        m_bBroken = false;
        return true;
    }
    if (written > 0) {
        std::wstring ignored;
        m_bBroken = m_file->Write("\n", 1, ignored) != 1;
        error = L"only " + std::to_wstring(written) + L" of " + std::to_wstring(text.size()) + L" bytes were written";
    } else if (written == 0) {
        error = L"nothing was written";
    }
    return false;
}

std::string RecordLine(const StationBoard& b, const RecordImage& image, std::uint64_t returnLimitMs)
{
    const BoardList& board = b.m_result.m_board;
    const bool checked = b.m_return.m_state != ReturnOutcome::State::NotChecked;
    const bool back = b.m_return.m_state == ReturnOutcome::State::Back;
    // Names and MACs as the boards sent them, one character per byte: a station
    // matches them against what the boards say next time.
    const Json line{{"start", FormatTimestamp(b.m_nStartWallMs)}, {"end", FormatTimestamp(b.m_nEndWallMs)},
        {"address", JsonText(board.m_strIP)}, {"mac", JsonText(board.m_strMAC)}, {"name", JsonText(board.m_strName)},
        {"name_after", back ? JsonText(b.m_return.m_strName) : Json()}, {"file", JsonText(image.m_strFile)},
        {"size", image.m_nSize}, {"sha256", image.m_strSha256}, {"result", StationKeyword(b)},
        {"ok", VerdictOf(b) == StationVerdict::Served}, {"confirmed", IsConfirmed(b.m_result)},
        {"text", JsonText(DescribeStation(b, returnLimitMs))}, {"request", RequestKeyword(b.m_result.m_nOpcode)},
        {"block", b.m_result.m_nOpcode == OP_DATA ? Json(b.m_result.m_nBlock) : Json()},
        {"blocks", b.m_result.m_nAcked}, {"passes", b.m_result.m_nPasses},
        {"retransmissions", b.m_nRetransmissions}, {"duration", JsonSeconds(b.m_nEndMs - b.m_nStartMs)},
        {"returned", checked ? Json(back) : Json()}, {"back_after", back ? JsonSeconds(b.m_return.m_nAfterMs) : Json()}};
    return JsonLine(line) + "\n";
}

RecordBook ReadRecord(const std::string& text)
{
    RecordBook book;
    std::istringstream lines(text);
    for (std::string bytes; std::getline(lines, bytes);) {
        const Json line = Json::parse(bytes, nullptr, false);
        // A record line is flat: one holding lists or objects is someone else's.
        if (!line.is_object() || std::any_of(line.begin(), line.end(), [](const Json& v) { return v.is_structured(); }))
            continue;
        const std::wstring mac = TextOf(line, "mac");
        if (mac.empty())
            continue;
        // A board left alone or never reached says nothing of the image it holds.
        const std::wstring result = TextOf(line, "result");
        if (result == L"skipped" || result == L"not-started")
            continue;
        RecordedBoard recorded;
        recorded.m_bOk = line.value("ok", Json()) == true;
        recorded.m_bConfirmed = line.value("confirmed", Json()) == true;
        recorded.m_strSha256 = Utf8(TextOf(line, "sha256"));
        book[{mac, TextOf(line, "address")}] = recorded;
    }
    return book;
}
