// tarnwell-cli watch: a station that serves boards as they are plugged in.
#include "cli/commands/CliRun.h"

#include "cli/IClock.h"
#include "cli/platform/IPlatform.h"
#include "cli/lanes/Watch.h"
#include "cli/report/OutputText.h"
#include "common/Sha256.h"
#include "download/FirmwareKind.h"

CliExit WatchCommand(CliRun& run)
{
    const CliOptions& options = run.Options();
    Firmware firmware;
    std::vector<std::wstring> targets; // none: watch finds its boards itself
    if (!run.Start(&firmware, targets))
        return run.Failure();
    const std::vector<std::uint8_t>& image = firmware.m_image;
    WatchJob job;
    job.m_strPath = options.m_strFile;
    job.m_rules.m_strFileName = FileNameOfPath(options.m_strFile);
    job.m_rules.m_strSha256 = Sha256::Hex(image.data(), image.size());
    job.m_rules.m_bOncePerMac = options.m_bOncePerMac;
    job.m_rules.m_bRequireConfirmed = options.m_bRequireConfirmed;
    job.m_nParallel = options.m_nParallel;
    job.m_nIntervalMs = options.m_nIntervalMs;
    job.m_nVerifyReturnMs = options.m_nVerifyReturnMs;
    if (options.m_bOncePerMac) {
        std::vector<std::uint8_t> text;
        std::wstring error;
        if (!run.Platform().ReadFile(options.m_strRecord, text, error))
            return run.Fail(CliExit::Usage, L"cannot read the record " + options.m_strRecord + L": " + error);
        job.m_rules.m_record = ReadRecord(std::string(text.begin(), text.end()));
    }
    BoardLink link(run.Network());
    if (link.BroadcastAdapterCount() == 0)
        return run.Fail(CliExit::NoNetwork, L"no adapter to broadcast from (loopback only); watch finds boards by broadcast");

    const RecordImage recorded{DecodeSystemText(job.m_rules.m_strFileName), image.size(), job.m_rules.m_strSha256};
    const std::uint64_t limit = options.m_nVerifyReturnMs;
    const auto done = [&](const StationBoard& board) {
        const std::wstring line = FormatStationLine(board, limit) + L"\n";
        run.Log().WriteUnicode(line);
        run.Print(Utf8(line));
        if (run.HasRecord())
            run.Record(board, recorded);
    };
    const auto warn = [&run](const std::wstring& message) {
        run.Log().WriteUnicode(message + L"\r\n");
        run.Message(message);
    };
    std::vector<StationBoard> boards;
    ProgressView view(run.Platform().Err(), run.Style(), run.Log(), boards);
    IClock& clock = run.Clock();
    EventLoop loop(clock, run.Network());
    Watch watch(loop, link, clock, view, boards, firmware, job, done, warn);
    run.Log().Write(STATUS_SEARCHING);
    const std::uint64_t start = clock.NowMs();
    watch.Run([&run] { return run.Platform().Interruption() != 0; });

    const StationCounts counts = CountStation(boards);
    const std::wstring summary = FormatStationSummary(counts, clock.NowMs() - start);
    run.Log().Write(summary + L"\r\n");
    run.Print(Utf8(summary + L"\n"));
    if (counts.failed != 0 || counts.interrupted != 0)
        return CliExit::SomeFailed;
    return counts.served == 0 ? CliExit::NoBoardMatched : CliExit::Ok;
}
