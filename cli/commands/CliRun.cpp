// The start-up every command shares and the output every command writes.
#include "cli/commands/CliRun.h"

#include <algorithm>
#include <cerrno>

#include "cli/commands/TargetList.h"
#include "cli/FileBytes.h"
#include "cli/platform/IPlatform.h"
#include "cli/report/OutputText.h"
#include "cli/report/StationBoard.h"
#include "download/FirmwareKind.h"
#include "net/BoardPacket.h"
#include "net/TextCodec.h"

namespace {

const char* const PROGRAM = "tarnwell-cli: ";

std::wstring KindTokens()
{
    std::wstring tokens;
    for (const FirmwareKind& kind : g_firmwareKinds)
        tokens += (tokens.empty() ? L"" : L", ") + std::wstring(kind.m_pszToken);
    return tokens;
}

std::wstring AdapterList(const std::vector<AdapterAddress>& adapters)
{
    std::wstring list;
    for (const AdapterAddress& a : adapters)
        list += (list.empty() ? L"" : L", ") + a.m_strAddress + L"/" + a.m_strMask;
    return list.empty() ? L"none" : list;
}

std::wstring WriteErrorText(int error)
{
    // A stream that fails without errno (a closed descriptor, say) still failed.
    return error == 0 ? std::wstring(L"the write failed") : ErrnoText(error);
}

} // namespace

std::wstring SignalName(int signal)
{
    switch (signal) {
    case SIGNAL_HUP: return L"SIGHUP";
    case SIGNAL_INT: return L"SIGINT";
    case SIGNAL_TERM: return L"SIGTERM";
    default: return L"signal " + std::to_wstring(signal);
    }
}

BoardSearch::BoardSearch(IClock& clock, INetwork& network)
    : link(network), loop(clock, network), finder(loop, link)
{
}

CliRun::CliRun(IPlatform& platform, IClock& clock)
    : m_platform(platform), m_clock(clock), m_log(clock)
{
}

CliRun::~CliRun() = default;

bool CliRun::Start(Firmware* firmware, std::vector<std::wstring>& targets)
{
    return (firmware == nullptr || LoadFirmware(*firmware)) && ReadTargets(targets)
        && Prepare() && OpenRecord() && CheckReachable(targets);
}

std::unique_ptr<BoardSearch> CliRun::Search(Firmware* firmware, std::vector<std::wstring>& targets)
{
    if (!Start(firmware, targets))
        return nullptr;
    auto search = std::make_unique<BoardSearch>(m_clock, *m_network);
    if (targets.empty() && search->link.BroadcastAdapterCount() == 0) {
        Refuse(CliExit::NoNetwork, L"no adapter to broadcast from (loopback only); give the boards' addresses");
        return nullptr;
    }
    search->loop.StopWhen([this] { return m_platform.Interruption() != 0; });
    if (!StartLog(targets.empty() ? STATUS_SEARCHING : STATUS_SEARCHING_PING_LIST))
        return nullptr;
    search->finder.Run(targets, m_options.m_nWaitMs);
    search->interrupted = NoteInterruption();
    return search;
}

int CliRun::Status(CliExit code) const
{
    if (m_bOutputLost)
        return static_cast<int>(CliExit::OutputLost);
    return static_cast<int>(m_bRecordLost ? CliExit::RecordLost : code);
}

bool CliRun::LoadFirmware(Firmware& firmware)
{
    const std::wstring& path = m_options.m_strFile;
    const std::wstring name = FileNameOfPath(path);
    firmware.m_pKind = FindFirmwareKind(name);
    if (firmware.m_pKind == nullptr) {
        return Refuse(CliExit::Usage, L"the file name " + name + L" holds no firmware kind token (" + KindTokens()
            + L"); the token tells which boards the file is for");
    }
    // The boards get the name in the workstation's code page; a character it lacks
    // would reach them as '?' or a look-alike, so the name is refused, as the window does.
    if (!FitsAnsi(name)) {
        return Refuse(CliExit::Usage, L"the file name " + name
            + L" holds characters that the workstation's code page lacks; rename the file");
    }
    firmware.m_strAnsiName = WideToAnsi(name);
    if (!FileNameFits(firmware.m_strAnsiName)) {
        return Refuse(CliExit::Usage, L"the file name " + name + L" is " + std::to_wstring(firmware.m_strAnsiName.size())
            + L" bytes long; a file-name request carries at most " + std::to_wstring(DATA_BLOCK_SIZE - 1));
    }
    // Read whole, once: every lane sends from these bytes, whatever happens to the file meanwhile.
    std::wstring error;
    if (!m_platform.ReadImage(path, firmware.m_image, error))
        return Refuse(CliExit::Usage, L"cannot read " + path + L": " + error);
    return true;
}

bool CliRun::OpenRecord()
{
    if (m_options.m_strRecord.empty())
        return true;
    std::wstring error;
    std::unique_ptr<IAppendFile> file = m_platform.OpenRecord(m_options.m_strRecord, error);
    if (!file)
        return Refuse(CliExit::Usage, L"cannot write the record " + m_options.m_strRecord + L": " + error);
    m_record = std::make_unique<RecordWriter>(std::move(file));
    return true;
}

void CliRun::Record(const StationBoard& board, const RecordImage& image)
{
    // The record is output, as the log is: a line that did not go in whole is
    // said at once, the boards are still served, and the status tells.
    std::wstring error;
    if (!m_record->Append(RecordLine(board, image, m_options.m_nVerifyReturnMs), error)) {
        m_bRecordLost = true;
        Message(L"cannot write the record " + m_options.m_strRecord + L": " + error + L"; the line of "
            + board.m_result.m_board.m_strIP + L" is lost");
    }
}

ProgressStyle CliRun::Style()
{
    if (m_options.m_bQuiet)
        return ProgressStyle::Quiet;
    return m_platform.ErrIsTerminal() ? ProgressStyle::Bars : ProgressStyle::Lines;
}

bool CliRun::Refuse(CliExit code, const std::wstring& message)
{
    m_failure = Fail(code, message);
    return false;
}

CliExit CliRun::Fail(CliExit code, const std::wstring& message)
{
    Message(message);
    return code;
}

void CliRun::Message(const std::wstring& message)
{
    m_platform.Err() << PROGRAM << NativeText(message) << '\n';
    m_platform.Err().flush();
}

void CliRun::Print(const std::string& text)
{
    if (m_bStdoutLost)
        return;
    std::ostream& out = m_platform.Out();
    errno = 0;
    out << text;
    out.flush();
    if (out.fail()) {
        const int error = errno;
        m_bStdoutLost = m_bOutputLost = true;
        Message(L"cannot write to standard output: " + WriteErrorText(error) + L"; the report is incomplete");
    }
}

bool CliRun::NoteInterruption()
{
    // Said once, when the command notices it: from here on nothing is sent,
    // and what is left is the report of what was done.
    const int signal = m_platform.Interruption();
    if (signal != 0 && !m_bInterruptNoted) {
        m_bInterruptNoted = true;
        const std::wstring message = L"interrupted by " + SignalName(signal) + L": sending stopped";
        m_log.Write(message + L"\r\n");
        Message(message);
    }
    return signal != 0;
}

bool CliRun::StartLog(const std::wstring& firstLine)
{
    // A log that cannot take its first line is refused as an unwritable one
    // is, before anything is sent; one lost later is reported when it happens.
    m_log.Write(firstLine);
    if (m_log.IsLost())
        return Refuse(CliExit::Usage, L"cannot write the log " + m_options.m_strLog + L": " + WriteErrorText(m_nLogError));
    m_bLogStarted = true;
    return true;
}

void CliRun::OnLogLost(int error)
{
    m_nLogError = error;
    if (!m_bLogStarted)
        return;
    m_bOutputLost = true;
    Message(L"cannot write the log " + m_options.m_strLog + L": " + WriteErrorText(error) + L"; the log ends here");
}

bool CliRun::ReadTargets(std::vector<std::wstring>& targets)
{
    std::vector<std::wstring> typed = m_options.m_addresses;
    for (const std::wstring& list : m_options.m_listFiles) {
        std::vector<std::uint8_t> bytes;
        std::wstring error;
        if (!m_platform.ReadFile(list, bytes, error))
            return Refuse(CliExit::Usage, L"cannot read the address list " + list + L": " + error);
        const std::vector<std::wstring> listed = ListFileTargets(AnsiToWide(std::string(bytes.begin(), bytes.end())));
        if (listed.empty())
            return Refuse(CliExit::Usage, L"the address list " + list + L" holds no address");
        typed.insert(typed.end(), listed.begin(), listed.end());
    }
    for (const std::wstring& text : typed) {
        std::wstring ip;
        if (!NormaliseAddress(text, ip))
            return Refuse(CliExit::Usage, L"'" + text + L"' is not an IPv4 address (four numbers 0 to 255 with dots)");
        // A board named twice is served once: two lanes must never share one.
        if (std::find(targets.begin(), targets.end(), ip) == targets.end())
            targets.push_back(ip);
    }
    return true;
}

bool CliRun::CheckReachable(const std::vector<std::wstring>& targets)
{
    for (const std::wstring& ip : targets) {
        const std::wstring why = WhyUnreachable(m_network->Adapters(), ip);
        if (!why.empty())
            return Refuse(CliExit::Usage, ip + L" " + why + L" (local adapters: " + AdapterList(m_network->Adapters()) + L")");
    }
    return true;
}

bool CliRun::Prepare()
{
    if (!m_options.m_strLog.empty()) {
        std::wstring error;
        std::unique_ptr<std::ostream> file = m_platform.OpenLog(m_options.m_strLog, error);
        if (!file)
            return Refuse(CliExit::Usage, L"cannot write the log " + m_options.m_strLog + L": " + error);
        m_log.Attach(std::move(file), [this](int error) { OnLogLost(error); });
    }
    std::wstring error;
    m_network = m_platform.OpenNetwork(error);
    if (!m_network)
        return Refuse(CliExit::NoNetwork, error);
    if (m_network->Adapters().empty())
        return Refuse(CliExit::NoNetwork, L"no IPv4 address to send from: no adapter that is up has one that could be bound");
    return true;
}
