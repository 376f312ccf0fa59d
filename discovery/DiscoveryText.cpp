#include "discovery/DiscoveryText.h"

#include "net/BoardPacket.h"
#include "net/TextCodec.h"

const wchar_t* const PROBE_ADDRESSES[6] = {
    L"192.168.1.1", L"192.168.1.2", L"192.168.1.3", L"192.168.1.4", L"192.168.1.5", L"192.168.1.6",
};
const wchar_t* const STATUS_SEARCHING = L"Searching for boards...\r\n";
const wchar_t* const STATUS_SEARCHING_PING_LIST = L"Searching for boards in the ping list...\r\n";
const wchar_t* const STATUS_SEARCHING_SPECIFIC = L"Searching for board at specific IP address...\r\n";

BoardList MakeBoardList(const BoardReply& reply, const std::wstring& sender)
{
    return BoardList{AnsiToWide(reply.name), sender, AnsiToWide(reply.mac)};
}

std::wstring FormatUnitLine(const BoardList& b)
{
    return b.m_strName + L"\tIP=" + b.m_strIP + L"\tMAC=" + b.m_strMAC;
}

std::wstring PingListToDialogForm(std::wstring stored)
{
    for (std::size_t pos = stored.find(L','); pos != std::wstring::npos; pos = stored.find(L',', pos + 2))
        stored.replace(pos, 1, L"\r\n");
    return stored;
}

std::wstring PingListToStoredForm(std::wstring text)
{
    // Every CR becomes ',' and takes the character after it along, whatever
    // that is: a line break typed as CR LF turns into exactly one separator.
    for (std::size_t pos = text.find(L'\r'); pos != std::wstring::npos; pos = text.find(L'\r', pos + 1)) {
        text[pos] = L',';
        if (pos + 1 < text.size())
            text.erase(pos + 1, 1);
    }
    return text;
}

std::vector<std::wstring> PingListTargets(const std::wstring& stored)
{
    std::vector<std::wstring> targets;
    std::size_t start = 0;
    while (start <= stored.size()) {
        std::size_t end = stored.find(L',', start);
        if (end == std::wstring::npos)
            end = stored.size();
        if (end > start)
            targets.push_back(stored.substr(start, end - start));
        start = end + 1;
    }
    return targets;
}

bool IsProbeCommandLine(const std::wstring& cmdLine)
{
    return cmdLine.rfind(L"ATE", 0) == 0;
}
