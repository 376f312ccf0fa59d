#include "cli/RecordFile.h"

#include <cstdio>
#include <map>

#include "cli/JsonText.h"
#include "cli/StationBoard.h"
#include "cli/StatusLog.h"
#include "net/BoardPacket.h"

namespace {

std::string Seconds(std::uint64_t ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%03u", static_cast<unsigned long long>(ms / 1000),
        static_cast<unsigned>(ms % 1000));
    return text;
}

// A value of a flat JSON object as text: strings unescaped, anything else as written.
class FlatJson {
public:
    explicit FlatJson(const std::string& text) : m_s(text) {}

    bool Parse(std::map<std::string, std::wstring>& fields)
    {
        if (!Skip('{'))
            return false;
        if (Skip('}'))
            return End();
        do {
            std::wstring key, value;
            if (!String(key) || !Skip(':') || !Value(value))
                return false;
            std::string narrow;
            for (wchar_t c : key)
                narrow += static_cast<char>(c);
            fields[narrow] = value;
        } while (Skip(','));
        return Skip('}') && End();
    }

private:
    void Blanks()
    {
        while (m_pos < m_s.size() && (m_s[m_pos] == ' ' || m_s[m_pos] == '\t' || m_s[m_pos] == '\r'))
            ++m_pos;
    }

    bool Skip(char c)
    {
        Blanks();
        if (m_pos < m_s.size() && m_s[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    bool End()
    {
        Blanks();
        return m_pos == m_s.size();
    }

    bool String(std::wstring& out)
    {
        if (!Skip('"'))
            return false;
        while (m_pos < m_s.size()) {
            const char c = m_s[m_pos++];
            if (c == '"')
                return true;
            if (c != '\\') {
                out += static_cast<wchar_t>(static_cast<unsigned char>(c));
                continue;
            }
            if (m_pos >= m_s.size())
                return false;
            const char e = m_s[m_pos++];
            if (e == 'u') {
                if (m_pos + 4 > m_s.size())
                    return false;
                unsigned code = 0;
                for (int i = 0; i < 4; ++i) {
                    const char h = m_s[m_pos++];
                    const int digit = h >= '0' && h <= '9' ? h - '0'
                        : h >= 'a' && h <= 'f'             ? h - 'a' + 10
                        : h >= 'A' && h <= 'F'             ? h - 'A' + 10
                                                           : -1;
                    if (digit < 0)
                        return false;
                    code = code * 16 + static_cast<unsigned>(digit);
                }
                out += static_cast<wchar_t>(code);
            } else {
                const char* from = "\"\\/bfnrt";
                const wchar_t to[] = L"\"\\/\b\f\n\r\t";
                int i = 0;
                while (from[i] != '\0' && from[i] != e)
                    ++i;
                if (from[i] == '\0')
                    return false;
                out += to[i];
            }
        }
        return false;
    }

    bool Value(std::wstring& out)
    {
        Blanks();
        if (m_pos < m_s.size() && m_s[m_pos] == '"')
            return String(out);
        // Numbers, true, false, null: a record line holds no nested values.
        const std::size_t start = m_pos;
        while (m_pos < m_s.size()
            && ((m_s[m_pos] >= '0' && m_s[m_pos] <= '9') || (m_s[m_pos] >= 'a' && m_s[m_pos] <= 'z')
                || m_s[m_pos] == '.' || m_s[m_pos] == '-' || m_s[m_pos] == '+'))
            ++m_pos;
        for (std::size_t i = start; i < m_pos; ++i)
            out += static_cast<wchar_t>(static_cast<unsigned char>(m_s[i]));
        return m_pos > start;
    }

    const std::string& m_s;
    std::size_t m_pos = 0;
};

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
    std::string line = "{\"start\": \"" + FormatTimestamp(b.m_nStartWallMs) + "\", \"end\": \""
        + FormatTimestamp(b.m_nEndWallMs) + "\"";
    line += ", \"address\": " + JsonString(board.m_strIP) + ", \"mac\": " + JsonString(board.m_strMAC);
    line += ", \"name\": " + JsonString(board.m_strName)
        + ", \"name_after\": " + (back ? JsonString(b.m_return.m_strName) : std::string("null"));
    line += ", \"file\": " + JsonString(image.m_strFile) + ", \"size\": " + std::to_string(image.m_nSize)
        + ", \"sha256\": \"" + image.m_strSha256 + "\"";
    line += std::string(", \"result\": \"") + StationKeyword(b) + "\", \"ok\": "
        + (VerdictOf(b) == StationVerdict::Served ? "true" : "false")
        + ", \"confirmed\": " + (IsConfirmed(b.m_result) ? "true" : "false");
    line += ", \"text\": " + JsonString(DescribeStation(b, returnLimitMs));
    line += std::string(", \"request\": \"") + RequestKeyword(b.m_result.m_nOpcode) + "\", \"block\": "
        + (b.m_result.m_nOpcode == OP_DATA ? std::to_string(b.m_result.m_nBlock) : std::string("null"));
    line += ", \"blocks\": " + std::to_string(b.m_result.m_nAcked) + ", \"passes\": " + std::to_string(b.m_result.m_nPasses)
        + ", \"retransmissions\": " + std::to_string(b.m_nRetransmissions)
        + ", \"duration\": " + Seconds(b.m_nEndMs - b.m_nStartMs);
    line += std::string(", \"returned\": ") + (!checked ? "null" : back ? "true" : "false")
        + ", \"back_after\": " + (back ? Seconds(b.m_return.m_nAfterMs) : std::string("null"));
    return line + "}\n";
}

RecordBook ReadRecord(const std::string& text)
{
    RecordBook book;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::map<std::string, std::wstring> fields;
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        FlatJson json(line);
        if (!json.Parse(fields) || fields["mac"].empty())
            continue;
        // A board left alone or never reached says nothing of the image it holds.
        const std::wstring& result = fields["result"];
        if (result == L"skipped" || result == L"not-started")
            continue;
        RecordedBoard recorded;
        recorded.m_bOk = fields["ok"] == L"true";
        recorded.m_bConfirmed = fields["confirmed"] == L"true";
        for (wchar_t c : fields["sha256"])
            recorded.m_strSha256 += static_cast<char>(c);
        book[{fields["mac"], fields["address"]}] = recorded;
    }
    return book;
}
