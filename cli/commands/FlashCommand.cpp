// tarnwell-cli flash: ask the boards for their names, serve those of the
// file's kind, report each one and write its record line.
#include "cli/commands/CliRun.h"

#include <algorithm>

#include "cli/IClock.h"
#include "cli/platform/IPlatform.h"
#include "cli/lanes/FlashBatch.h"
#include "cli/lanes/ReturnCheck.h"
#include "cli/lanes/StationTracker.h"
#include "cli/report/JsonText.h"
#include "cli/report/OutputText.h"
#include "cli/report/StationBoard.h"
#include "common/Sha256.h"
#include "download/BoardLocks.h"
#include "download/FirmwareKind.h"
#include "net/BoardPacket.h"
#include "net/IPv4.h"

namespace {

// The boards in the order they are reported: all that answered (with --all,
// by address), then the named ones. Those to serve are listed in `served`;
// the others have their results already.
std::vector<StationBoard> BoardsInOrder(CliRun& run, const BoardSearch& search, const std::vector<std::wstring>& targets,
    const FirmwareKind& kind, std::vector<std::size_t>& served)
{
    std::vector<BoardList> lists;
    if (run.Options().m_bAll) {
        lists = search.finder.Boards();
        std::stable_sort(lists.begin(), lists.end(),
            [](const BoardList& a, const BoardList& b) { return ParseIPv4(a.m_strIP) < ParseIPv4(b.m_strIP); });
    }
    for (const std::wstring& target : targets) {
        const BoardList* found = search.finder.Find(target);
        lists.push_back(found ? *found : BoardList{L"", target, L""});
    }
    // The window's kind rule, by the same function.
    const BoardChoice choice = ChooseBoards(FileNameOfPath(run.Options().m_strFile), lists);
    std::vector<StationBoard> boards(lists.size());
    for (std::size_t i = 0; i < boards.size(); ++i) {
        BoardResult& r = boards[i].m_result;
        r.m_board = lists[i];
        if (search.finder.Find(r.m_board.m_strIP) == nullptr) {
            // A named board that never answered has only its address. Cut short
            // while asking, the boards named or found so far were not started.
            r.m_kind = search.interrupted ? ResultKind::NotStarted : ResultKind::NoReply;
            r.m_nOpcode = search.interrupted ? 0 : OP_DISCOVER;
        } else if (!choice.served[i]) {
            r.m_kind = ResultKind::Skipped;
            r.m_strLabel = kind.m_pszLabel;
            run.Log().WriteUnicode(FormatStationLine(boards[i], 0) + L"\r\n");
        } else if (search.interrupted) {
            r.m_kind = ResultKind::NotStarted;
        } else {
            served.push_back(i);
        }
    }
    return boards;
}

// Serves the boards chosen, up to --parallel at once; their records hold the results.
std::uint64_t Serve(CliRun& run, BoardSearch& search, std::vector<StationBoard>& boards,
    const std::vector<std::size_t>& served, const Firmware& firmware)
{
    const CliOptions& options = run.Options();
    IClock& clock = run.Clock();
    // Each board's times, retransmissions and, with --verify-return, its return.
    std::vector<StationBoard> lanes;
    FlashJob job{options.m_strFile, firmware.m_strAnsiName, {}, options.m_nParallel};
    for (std::size_t i : served) {
        lanes.push_back(boards[i]);
        job.m_addresses.push_back(boards[i].m_result.m_board.m_strIP);
    }
    ProgressView view(run.Platform().Err(), run.Style(), run.Log(), lanes);
    StationTracker tracker(clock, search.loop, search.link, options.m_nVerifyReturnMs, view, lanes, nullptr,
        options.m_bRequireConfirmed);
    ReturnCheck* check = tracker.Check();
    BoardLocks* locks = run.Platform().Locks();
    // Even with --quiet: a lock found tampered with means someone is interfering with the station.
    if (locks != nullptr)
        locks->SetWarningSink([&run](const std::wstring& text) { run.Message(text); });
    FlashBatch batch(search.loop, search.link, tracker, firmware.m_image, locks);
    const auto asked = [check](const BoardReply& reply, const std::wstring& sender) {
        check->OnReply(reply, sender);
    };
    if (check)
        batch.SetDiscoveryHandler(asked);
    const std::uint64_t start = clock.NowMs();
    batch.Run(job);
    if (check) {
        search.loop.SetReplyHandler(asked);
        search.loop.Run([check] { return !check->AnyPending(); });
        search.loop.SetReplyHandler(nullptr);
    }
    const std::uint64_t elapsed = clock.NowMs() - start;
    // The tracker has every board's result, cut short or not.
    for (std::size_t lane = 0; lane < served.size(); ++lane)
        boards[served[lane]] = lanes[lane];
    run.NoteInterruption();
    return elapsed;
}

void PrintResults(CliRun& run, const std::vector<StationBoard>& boards, const StationCounts& counts,
    std::uint64_t elapsedMs, const FirmwareKind& kind)
{
    const CliOptions& options = run.Options();
    const std::uint64_t limit = options.m_nVerifyReturnMs;
    std::wstring lines;
    for (const StationBoard& b : boards)
        lines += FormatStationLine(b, limit) + L"\n";
    lines += FormatSummary(counts, elapsedMs) + L"\n";
    run.Log().WriteUnicode(lines);
    if (options.m_bJson) {
        const int signal = run.Platform().Interruption();
        const FlashReport report{options.m_strFile, kind.m_pszToken, kind.m_pszLabel, options.m_nParallel, elapsedMs,
            boards, signal != 0 ? SignalName(signal) : std::wstring(), limit};
        run.Print(FlashJson(report));
    } else {
        run.Print(Utf8(lines));
    }
}

} // namespace

CliExit FlashCommand(CliRun& run)
{
    const CliOptions& options = run.Options();
    Firmware firmware;
    std::vector<std::wstring> targets;
    const std::unique_ptr<BoardSearch> search = run.Search(&firmware, targets);
    if (!search)
        return run.Failure();
    const FirmwareKind& kind = *firmware.m_pKind;

    std::vector<std::size_t> served;
    std::vector<StationBoard> boards = BoardsInOrder(run, *search, targets, kind, served);
    const std::uint64_t elapsed = served.empty() ? 0 : Serve(run, *search, boards, served, firmware);
    const std::uint64_t now = run.Clock().WallMs();
    for (StationBoard& b : boards) {
        if (!b.m_bStarted)
            b.m_nStartWallMs = b.m_nEndWallMs = now;
    }
    const StationCounts counts = CountStation(boards);
    PrintResults(run, boards, counts, elapsed, kind);
    if (run.HasRecord()) {
        const std::vector<std::uint8_t>& image = firmware.m_image;
        const RecordImage recorded{DecodeSystemText(FileNameOfPath(options.m_strFile)), image.size(),
            Sha256::Hex(image.data(), image.size())};
        for (const StationBoard& b : boards)
            run.Record(b, recorded);
    }

    const CliExit code = FlashExitCode(counts, !options.m_bAll);
    if (code == CliExit::NoBoardMatched && !run.InterruptNoted()) {
        return run.Fail(code, counts.unanswered == counts.boards ? L"no board answered"
                                                                : L"no board matched: none that answered carries the label \""
                + std::wstring(kind.m_pszLabel) + L"\"");
    }
    return code;
}
