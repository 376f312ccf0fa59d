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

} // namespace

CliExit DiscoverCommand(CliRun& run)
{
    std::vector<std::wstring> targets;
    const std::unique_ptr<BoardSearch> search = run.Search(nullptr, targets);
    if (!search)
        return run.Failure();

    const std::vector<BoardList>& boards = search->finder.Boards();
    std::wstring lines;
    for (const BoardList& b : boards) {
        // The board's text decoded and on one line; in the log as the window's list has it.
        const BoardList shown{BoardTextForLine(b.m_strName), b.m_strIP, BoardTextForLine(b.m_strMAC)};
        run.Log().WriteUnicode(FormatUnitLine(shown) + L"\r\n");
        lines += shown.m_strName + L"\t" + shown.m_strIP + L"\t" + shown.m_strMAC + L"\n";
    }
    const std::vector<std::wstring>& unanswered = search->finder.Unanswered();
    if (run.Options().m_bJson) {
        const int signal = run.Platform().Interruption();
        run.Print(DiscoverJson(boards, unanswered, search->interrupted ? SignalName(signal) : std::wstring()));
    } else {
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
