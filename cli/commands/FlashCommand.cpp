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

// One board of the command, in the order boards are reported.
struct FlashBoard {
    StationBoard m_station;
    bool m_bAnswered = false; // a named board that did not answer has only its address
    bool m_bServed = false;
};

// All that answered (with --all, by address), then the named ones.
std::vector<FlashBoard> BoardsInOrder(const CliOptions& options, const BoardFinder& finder,
    const std::vector<std::wstring>& targets)
{
    std::vector<FlashBoard> boards;
    const auto add = [&boards](const BoardList& board, bool answered) {
        boards.emplace_back();
        boards.back().m_station.m_result.m_board = board;
        boards.back().m_bAnswered = answered;
    };
    if (options.m_bAll) {
        std::vector<BoardList> answered = finder.Boards();
        std::stable_sort(answered.begin(), answered.end(),
            [](const BoardList& a, const BoardList& b) { return ParseIPv4(a.m_strIP) < ParseIPv4(b.m_strIP); });
        for (const BoardList& b : answered)
            add(b, true);
    }
    for (const std::wstring& target : targets) {
        const BoardList* found = finder.Find(target);
        add(found ? *found : BoardList{L"", target, L""}, found != nullptr);
    }
    return boards;
}

// The window's kind rule, by the same function; a named board that never answered is served by none.
void ChooseServed(std::vector<FlashBoard>& boards, const std::wstring& path)
{
    std::vector<BoardList> lists;
    for (const FlashBoard& b : boards)
        lists.push_back(b.m_bAnswered ? b.m_station.m_result.m_board : BoardList{});
    const BoardChoice choice = ChooseBoards(FileNameOfPath(path), lists);
    for (std::size_t i = 0; i < boards.size(); ++i)
        boards[i].m_bServed = choice.served[i] && boards[i].m_bAnswered;
}

// Serves the boards chosen, up to --parallel at once; their records hold the results.
std::uint64_t Serve(CliRun& run, BoardSearch& search, std::vector<FlashBoard>& boards, const Firmware& firmware)
{
    const CliOptions& options = run.Options();
    IClock& clock = run.Clock();
    // Each board's times, retransmissions and, with --verify-return, its return.
    std::vector<StationBoard> lanes;
    std::vector<BoardList> served;
    FlashJob job{options.m_strFile, firmware.m_strAnsiName, {}, options.m_nParallel};
    for (const FlashBoard& b : boards) {
        if (b.m_bServed) {
            lanes.push_back(b.m_station);
            served.push_back(b.m_station.m_result.m_board);
            job.m_addresses.push_back(b.m_station.m_result.m_board.m_strIP);
        }
    }
    ProgressView view(run.Platform().Err(), run.Style(), run.Log(), served);
    StationTracker* tracking = nullptr;
    std::unique_ptr<ReturnCheck> check;
    if (options.m_nVerifyReturnMs != 0) {
        check = std::make_unique<ReturnCheck>(search.loop, search.link, options.m_nVerifyReturnMs,
            [&tracking](int board, const ReturnOutcome& outcome) { tracking->OnReturn(board, outcome); });
    }
    StationTracker tracker(clock, view, lanes, check.get(), nullptr, options.m_bRequireConfirmed);
    tracking = &tracker;
    BoardLocks* locks = run.Platform().Locks();
    // Even with --quiet: a lock found tampered with means someone is interfering with the station.
    if (locks != nullptr)
        locks->SetWarningSink([&run](const std::wstring& text) { run.Message(text); });
    FlashBatch batch(search.loop, search.link, tracker, firmware.m_image, locks);
    const auto asked = [&check](const BoardReply& reply, const std::wstring& sender) {
        check->OnReply(reply, sender);
    };
    if (check)
        batch.SetDiscoveryHandler(asked);
    const std::uint64_t start = clock.NowMs();
    batch.Run(job);
    if (check) {
        search.loop.SetReplyHandler(asked);
        search.loop.Run([&check] { return !check->AnyPending(); });
        search.loop.SetReplyHandler(nullptr);
    }
    const std::uint64_t elapsed = clock.NowMs() - start;
    // The tracker has every board's result, cut short or not.
    std::size_t lane = 0;
    for (FlashBoard& b : boards) {
        if (b.m_bServed)
            b.m_station = lanes[lane++];
    }
    run.NoteInterruption();
    return elapsed;
}

void PrintResults(CliRun& run, const std::vector<StationBoard>& station, const StationCounts& counts,
    std::uint64_t elapsedMs, const FirmwareKind& kind)
{
    const CliOptions& options = run.Options();
    const std::uint64_t limit = options.m_nVerifyReturnMs;
    std::wstring lines;
    for (const StationBoard& b : station)
        lines += FormatStationLine(b, limit) + L"\n";
    lines += FormatSummary(counts, elapsedMs) + L"\n";
    run.Log().WriteUnicode(lines);
    if (options.m_bJson) {
        const int signal = run.Platform().Interruption();
        const FlashReport report{options.m_strFile, kind.m_pszToken, kind.m_pszLabel, options.m_nParallel, elapsedMs,
            station, signal != 0 ? SignalName(signal) : std::wstring(), limit};
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
    if (!run.Start(&firmware, targets))
        return run.Failure();
    const std::unique_ptr<BoardSearch> search = run.Search(targets);
    if (!search)
        return run.Failure();
    const FirmwareKind& kind = *firmware.m_pKind;

    std::vector<FlashBoard> boards = BoardsInOrder(options, search->finder, targets);
    ChooseServed(boards, options.m_strFile);
    bool anyServed = false;
    for (FlashBoard& b : boards) {
        BoardResult& r = b.m_station.m_result;
        if (!b.m_bAnswered) {
            // Cut short while asking: the boards named or found so far were not started.
            r.m_kind = search->interrupted ? ResultKind::NotStarted : ResultKind::NoReply;
            r.m_nOpcode = search->interrupted ? 0 : OP_DISCOVER;
        } else if (!b.m_bServed) {
            r.m_kind = ResultKind::Skipped;
            r.m_strLabel = kind.m_pszLabel;
            run.Log().WriteUnicode(FormatStationLine(b.m_station, options.m_nVerifyReturnMs) + L"\r\n");
        } else if (search->interrupted) {
            r.m_kind = ResultKind::NotStarted;
            b.m_bServed = false;
        }
        anyServed = anyServed || b.m_bServed;
    }
    const std::uint64_t elapsed = anyServed ? Serve(run, *search, boards, firmware) : 0;

    std::vector<StationBoard> station;
    const std::uint64_t now = run.Clock().WallMs();
    for (FlashBoard& b : boards) {
        if (!b.m_station.m_bStarted)
            b.m_station.m_nStartWallMs = b.m_station.m_nEndWallMs = now;
        station.push_back(b.m_station);
    }
    const StationCounts counts = CountStation(station);
    PrintResults(run, station, counts, elapsed, kind);
    if (run.HasRecord()) {
        const std::vector<std::uint8_t>& image = firmware.m_image;
        const RecordImage recorded{DecodeSystemText(FileNameOfPath(options.m_strFile)), image.size(),
            Sha256::Hex(image.data(), image.size())};
        for (const StationBoard& b : station)
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
