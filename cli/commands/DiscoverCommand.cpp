// tarnwell-cli discover: ask for boards and list those that answer.
#include "cli/commands/CliRun.h"

#include "cli/platform/IPlatform.h"
#include "cli/report/JsonText.h"
#include "cli/report/OutputText.h"
#include "discovery/DiscoveryText.h"

namespace {

std::wstring Joined(const std::vector<std::wstring>& items)
{
    std::wstring list;
    for (const std::wstring& item : items)
        list += (list.empty() ? L"" : L", ") + item;
    return list;
}

// The unit line of the window's list, with the board's text decoded and on one line.
std::wstring UnitLine(const BoardList& b)
{
    return FormatUnitLine(BoardList{BoardTextForLine(b.m_strName), b.m_strIP, BoardTextForLine(b.m_strMAC)});
}

} // namespace

CliExit DiscoverCommand(CliRun& run)
{
    std::vector<std::wstring> targets;
    if (!run.Start(nullptr, targets))
        return run.Failure();
    const std::unique_ptr<BoardSearch> search = run.Search(targets);
    if (!search)
        return run.Failure();

    const std::vector<BoardList>& boards = search->finder.Boards();
    for (const BoardList& b : boards)
        run.Log().WriteUnicode(UnitLine(b) + L"\r\n");
    const std::vector<std::wstring>& unanswered = search->finder.Unanswered();
    if (run.Options().m_bJson) {
        const int signal = run.Platform().Interruption();
        run.Print(DiscoverJson(boards, unanswered, search->interrupted ? SignalName(signal) : std::wstring()));
    } else {
        std::wstring lines;
        for (const BoardList& b : boards)
            lines += BoardTextForLine(b.m_strName) + L"\t" + b.m_strIP + L"\t" + BoardTextForLine(b.m_strMAC) + L"\n";
        run.Print(Utf8(lines));
    }
    if (!unanswered.empty()) {
        const std::wstring message = std::to_wstring(unanswered.size()) + L" of " + std::to_wstring(targets.size())
            + L" named " + (targets.size() == 1 ? L"address" : L"addresses") + L" did not answer: " + Joined(unanswered);
        run.Log().Write(message + L"\r\n");
        run.Message(message);
    }
    if (boards.empty() && !search->interrupted)
        return run.Fail(CliExit::NoBoardMatched, L"no board answered");
    return CliExit::Ok;
}
