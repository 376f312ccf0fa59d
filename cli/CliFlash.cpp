// tarnwell-cli flash: ask the boards for their names, serve those of the
// file's kind, report each one and write its record line.
#include "cli/CliApp.h"

#include <algorithm>

#include "cli/BoardFinder.h"
#include "cli/BoardLink.h"
#include "cli/BoardResult.h"
#include "cli/EventLoop.h"
#include "cli/FileBytes.h"
#include "cli/FlashBatch.h"
#include "cli/platform/IPlatform.h"
#include "cli/JsonText.h"
#include "cli/OutputText.h"
#include "cli/ProgressView.h"
#include "cli/StationBoard.h"
#include "cli/StationTracker.h"
#include "common/Sha256.h"
#include "download/BoardLocks.h"
#include "download/FirmwareKind.h"
#include "net/BoardPacket.h"
#include "net/IPv4.h"

CliExit CliApp::Flash()
{
    const std::wstring& path = m_options.m_strFile;
    const FirmwareKind* kind = nullptr;
    std::string ansiName;
    std::vector<std::uint8_t> image;
    CliExit failure = CliExit::Ok;
    if (!LoadFirmware(kind, ansiName, image, failure))
        return failure;

    std::vector<std::wstring> targets;
    if (!ReadTargets(targets, failure) || !Prepare(failure) || !OpenRecord(failure)
        || !CheckReachable(targets, failure))
        return failure;
    BoardLink link(*m_network);
    if (m_options.m_bAll && link.BroadcastAdapterCount() == 0)
        return Fail(CliExit::NoNetwork, L"no adapter to broadcast from (loopback only); give the boards' addresses");

    EventLoop loop(m_clock, *m_network);
    StopWhenInterrupted(loop);
    BoardFinder finder(loop, link);
    if (!StartLog(targets.empty() ? STATUS_SEARCHING : STATUS_SEARCHING_PING_LIST, failure))
        return failure;
    finder.Run(targets, m_options.m_nWaitMs);
    // Cut short while asking: the boards named or found so far were not started.
    const bool cutWhileAsking = NoteInterruption();

    // The boards in the order they are reported: all that answered (with
    // --all, by address), then the named ones; null for a named address that
    // did not answer.
    std::vector<const BoardList*> order;
    std::vector<std::wstring> named;
    std::vector<BoardList> answered;
    if (m_options.m_bAll) {
        answered = finder.Boards();
        std::stable_sort(answered.begin(), answered.end(),
            [](const BoardList& a, const BoardList& b) { return ParseIPv4(a.m_strIP) < ParseIPv4(b.m_strIP); });
        for (const BoardList& b : answered) {
            order.push_back(&b);
            named.emplace_back();
        }
    }
    for (const std::wstring& target : targets) {
        order.push_back(finder.Find(target));
        named.push_back(target);
    }
    // The window's kind rule, by the same function; a named board that never answered is served by none.
    std::vector<BoardList> records;
    for (const BoardList* board : order)
        records.push_back(board ? *board : BoardList{});
    BoardChoice choice = ChooseBoards(FileNameOfPath(path), records);
    for (std::size_t i = 0; i < order.size(); ++i)
        choice.served[i] = choice.served[i] && order[i] != nullptr;

    std::vector<StationBoard> station(order.size());
    std::vector<BoardList> served;
    std::vector<std::size_t> servedAt;
    for (std::size_t i = 0; i < order.size(); ++i) {
        BoardResult& r = station[i].m_result;
        if (order[i] == nullptr) {
            r.m_board = BoardList{L"", named[i], L""};
            r.m_kind = cutWhileAsking ? ResultKind::NotStarted : ResultKind::NoReply;
            r.m_nOpcode = cutWhileAsking ? 0 : OP_DISCOVER;
        } else if (r.m_board = *order[i]; !choice.served[i]) {
            r.m_kind = ResultKind::Skipped;
            r.m_strLabel = kind->m_pszLabel;
            m_log.WriteUnicode(FormatResultLine(r) + L"\r\n");
        } else if (cutWhileAsking) {
            r.m_kind = ResultKind::NotStarted;
        } else {
            servedAt.push_back(i);
            served.push_back(*order[i]);
        }
    }

    std::uint64_t elapsed = 0;
    if (!served.empty()) {
        ProgressView view(m_platform.Err(), Style(), m_log, served);
        // Each board's times, retransmissions and, with --verify-return, its return.
        std::vector<StationBoard> lanes(served.size());
        for (std::size_t i = 0; i < served.size(); ++i)
            lanes[i].m_result.m_board = served[i];
        StationTracker* tracking = nullptr;
        std::unique_ptr<ReturnCheck> check;
        if (m_options.m_nVerifyReturnMs != 0) {
            check = std::make_unique<ReturnCheck>(loop, link, m_options.m_nVerifyReturnMs,
                [&tracking](int board, const ReturnOutcome& outcome) { tracking->OnReturn(board, outcome); });
        }
        StationTracker tracker(m_clock, view, lanes, check.get(), nullptr, m_options.m_bRequireConfirmed);
        tracking = &tracker;
        BoardLocks* locks = m_platform.Locks();
        // Even with --quiet: a lock found tampered with means someone is interfering with the station.
        if (locks != nullptr)
            locks->SetWarningSink([this](const std::wstring& text) { Message(text); });
        FlashBatch batch(loop, link, tracker, image, locks);
        const auto asked = [&check](const BoardReply& reply, const std::wstring& sender) {
            check->OnReply(reply, sender);
        };
        if (check)
            batch.SetDiscoveryHandler(asked);
        FlashJob job{path, ansiName, {}, m_options.m_nParallel};
        for (const BoardList& b : served)
            job.m_addresses.push_back(b.m_strIP);
        const std::uint64_t start = m_clock.NowMs();
        batch.Run(job);
        if (check) {
            loop.SetReplyHandler(asked);
            loop.Run([&check] { return !check->AnyPending(); });
            loop.SetReplyHandler(nullptr);
        }
        elapsed = m_clock.NowMs() - start;
        // The tracker has every board's result, cut short or not.
        for (std::size_t i = 0; i < served.size(); ++i)
            station[servedAt[i]] = lanes[i];
        NoteInterruption();
    }
    const std::uint64_t now = m_clock.WallMs();
    for (StationBoard& b : station) {
        if (!b.m_bStarted)
            b.m_nStartWallMs = b.m_nEndWallMs = now;
    }
    PrintResults(station, elapsed, kind->m_pszToken, kind->m_pszLabel);
    if (m_record) {
        const RecordImage recorded{DecodeSystemText(FileNameOfPath(path)), image.size(),
            Sha256::Hex(image.data(), image.size())};
        for (const StationBoard& b : station)
            Record(b, recorded);
    }

    std::vector<BoardResult> results;
    for (const StationBoard& b : station)
        results.push_back(b.m_result);
    CliExit code = FlashExitCode(results, !m_options.m_bAll);
    // A board that did not come back after its reboot was not flashed as far as anyone can tell.
    if (code == CliExit::Ok && std::any_of(station.begin(), station.end(), [](const StationBoard& b) {
            return b.m_return.m_state == ReturnOutcome::State::NotBack;
        }))
        code = CliExit::SomeFailed;
    if (code == CliExit::NoBoardMatched && !m_bInterruptNoted) {
        const bool anyAnswered = std::any_of(results.begin(), results.end(),
            [](const BoardResult& r) { return !(r.m_kind == ResultKind::NoReply && r.m_nOpcode == OP_DISCOVER); });
        return Fail(code, !anyAnswered ? L"no board answered"
                                       : L"no board matched: none that answered carries the label \""
                    + std::wstring(kind->m_pszLabel) + L"\"");
    }
    return code;
}

void CliApp::PrintResults(const std::vector<StationBoard>& station, std::uint64_t elapsedMs, const std::wstring& token,
    const std::wstring& label)
{
    const std::uint64_t limit = m_options.m_nVerifyReturnMs;
    std::wstring lines;
    for (const StationBoard& b : station)
        lines += FormatStationLine(b, limit) + L"\n";
    lines += FormatSummary(CountFlash(station), elapsedMs) + L"\n";
    m_log.WriteUnicode(lines);
    if (m_options.m_bJson) {
        const int signal = m_platform.Interruption();
        const FlashReport report{m_options.m_strFile, token, label, m_options.m_nParallel, elapsedMs, station,
            signal != 0 ? SignalName(signal) : std::wstring(), limit};
        Print(FlashJson(report));
    } else {
        Print(Utf8(lines));
    }
}
