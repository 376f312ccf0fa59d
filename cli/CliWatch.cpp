// tarnwell-cli watch: a station that serves boards as they are plugged in.
#include "cli/CliApp.h"

#include "cli/BoardLink.h"
#include "cli/EventLoop.h"
#include "cli/platform/IPlatform.h"
#include "cli/OutputText.h"
#include "cli/ProgressView.h"
#include "cli/Watch.h"
#include "common/Sha256.h"
#include "download/FirmwareKind.h"

CliExit CliApp::Watch()
{
    const FirmwareKind* kind = nullptr;
    WatchJob job;
    std::vector<std::uint8_t> image;
    CliExit failure = CliExit::Ok;
    if (!LoadFirmware(kind, job.m_strAnsiName, image, failure) || !Prepare(failure) || !OpenRecord(failure))
        return failure;
    job.m_strPath = m_options.m_strFile;
    job.m_pKind = kind;
    job.m_strSha256 = Sha256::Hex(image.data(), image.size());
    job.m_bOncePerMac = m_options.m_bOncePerMac;
    job.m_bRequireConfirmed = m_options.m_bRequireConfirmed;
    job.m_nParallel = m_options.m_nParallel;
    job.m_nIntervalMs = m_options.m_nIntervalMs;
    job.m_nVerifyReturnMs = m_options.m_nVerifyReturnMs;
    if (m_options.m_bOncePerMac) {
        std::vector<std::uint8_t> text;
        std::wstring error;
        if (!m_platform.ReadFile(m_options.m_strRecord, text, error))
            return Fail(CliExit::Usage, L"cannot read the record " + m_options.m_strRecord + L": " + error);
        job.m_record = ReadRecord(std::string(text.begin(), text.end()));
    }
    BoardLink link(*m_network);
    if (link.BroadcastAdapterCount() == 0)
        return Fail(CliExit::NoNetwork, L"no adapter to broadcast from (loopback only); watch finds boards by broadcast");

    const RecordImage recorded{DecodeSystemText(FileNameOfPath(job.m_strPath)), image.size(), job.m_strSha256};
    const std::uint64_t limit = m_options.m_nVerifyReturnMs;
    const auto done = [&](const StationBoard& board) {
        const std::wstring line = FormatStationLine(board, limit) + L"\n";
        m_log.WriteUnicode(line);
        Print(Utf8(line));
        if (m_record)
            Record(board, recorded);
    };
    const auto warn = [this](const std::wstring& message) {
        m_log.WriteUnicode(message + L"\r\n");
        Message(message);
    };
    std::vector<BoardList> lists;
    ProgressView view(m_platform.Err(), Style(), m_log, lists);
    EventLoop loop(m_clock, *m_network);
    ::Watch watch(loop, link, m_clock, view, lists, image, job, done, warn);
    m_log.Write(STATUS_SEARCHING);
    const std::uint64_t start = m_clock.NowMs();
    watch.Run([this] { return m_platform.Interrupted(); });

    const StationCounts counts = CountStation(watch.Boards());
    const std::wstring summary = FormatStationSummary(counts, m_clock.NowMs() - start);
    m_log.Write(summary + L"\r\n");
    Print(Utf8(summary + L"\n"));
    if (counts.failed != 0 || counts.interrupted != 0)
        return CliExit::SomeFailed;
    return counts.served == 0 ? CliExit::NoBoardMatched : CliExit::Ok;
}
