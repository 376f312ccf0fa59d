#include "cli/commands/CliOptions.h"

#include "discovery/DiscoveryText.h"

namespace {

enum class Opt { Help, Version, To, List, Wait, Json, Quiet, Log, All, Parallel, VerifyReturn, Record, Interval, OncePerMac, RequireConfirmed };

struct OptionRow {
    const wchar_t* name;
    Opt opt;
    bool takesValue;
    bool flashOnly;
};

const OptionRow OPTIONS[] = {
    {L"help", Opt::Help, false, false},
    {L"version", Opt::Version, false, false},
    {L"to", Opt::To, true, false},
    {L"list", Opt::List, true, false},
    {L"wait", Opt::Wait, true, false},
    {L"json", Opt::Json, false, false},
    {L"quiet", Opt::Quiet, false, false},
    {L"log", Opt::Log, true, false},
    {L"all", Opt::All, false, true},
    {L"parallel", Opt::Parallel, true, true},
    {L"verify-return", Opt::VerifyReturn, true, true},
    {L"record", Opt::Record, true, true},
    {L"interval", Opt::Interval, true, true},
    {L"once-per-mac", Opt::OncePerMac, false, true},
    {L"require-confirmed", Opt::RequireConfirmed, false, true},
};

const OptionRow* FindOption(const std::wstring& name)
{
    for (const OptionRow& row : OPTIONS) {
        if (name == row.name)
            return &row;
    }
    return nullptr;
}

bool ParseCount(const std::wstring& text, int& value)
{
    if (text.empty() || text.size() > 4)
        return false;
    value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + (c - L'0');
    }
    return true;
}

class Parser {
public:
    explicit Parser(CliOptions& options) : m_o(options) {}

    bool Option(const OptionRow& row, const std::wstring& value)
    {
        if (row.flashOnly)
            m_strFlashOnly = std::wstring(L"--") + row.name;
        switch (row.opt) {
        case Opt::Help: m_o.m_command = CliCommand::Help; return false;
        case Opt::Version: m_o.m_command = CliCommand::Version; return false;
        case Opt::To: {
            // An empty list would leave no address, and no address means a broadcast.
            const std::vector<std::wstring> addresses = PingListTargets(value);
            if (addresses.empty())
                return Fail(L"--to takes addresses separated by commas, not '" + value + L"'");
            m_o.m_addresses.insert(m_o.m_addresses.end(), addresses.begin(), addresses.end());
            return true;
        }
        case Opt::List: m_o.m_listFiles.push_back(value); return true;
        case Opt::Wait:
            m_bWait = true;
            if (!ParseSeconds(value, m_o.m_nWaitMs) || m_o.m_nWaitMs == 0 || m_o.m_nWaitMs > MAX_WAIT_MS)
                return Fail(L"--wait takes seconds above 0 and at most 3600, such as 2 or 0.5, not '" + value + L"'");
            return true;
        case Opt::Json: m_o.m_bJson = true; return true;
        case Opt::Quiet: m_o.m_bQuiet = true; return true;
        case Opt::Log:
            if (value.empty())
                return Fail(L"--log takes a file name, not an empty one");
            m_o.m_strLog = value;
            return true;
        case Opt::All: m_o.m_bAll = true; return true;
        case Opt::Parallel:
            if (!ParseCount(value, m_o.m_nParallel) || m_o.m_nParallel < 1 || m_o.m_nParallel > MAX_PARALLEL)
                return Fail(L"--parallel takes a number from 1 to 256, not '" + value + L"'");
            return true;
        case Opt::VerifyReturn:
            if (!ParseSeconds(value, m_o.m_nVerifyReturnMs) || m_o.m_nVerifyReturnMs == 0
                || m_o.m_nVerifyReturnMs > MAX_WAIT_MS)
                return Fail(L"--verify-return takes seconds above 0 and at most 3600, such as 30 or 2.5, not '" + value
                    + L"'");
            return true;
        case Opt::Record:
            // Empty, it would mean no record at all: a station that asked for one would keep none.
            if (value.empty())
                return Fail(L"--record takes a file name, not an empty one");
            m_o.m_strRecord = value;
            return true;
        case Opt::Interval:
            m_strWatchOnly = L"--interval";
            if (!ParseSeconds(value, m_o.m_nIntervalMs) || m_o.m_nIntervalMs < MIN_INTERVAL_MS
                || m_o.m_nIntervalMs > MAX_WAIT_MS)
                return Fail(L"--interval takes seconds from 0.1 to 3600, such as 2 or 0.5, not '" + value + L"'");
            return true;
        case Opt::OncePerMac:
            m_strWatchOnly = L"--once-per-mac";
            m_o.m_bOncePerMac = true;
            return true;
        case Opt::RequireConfirmed: m_o.m_bRequireConfirmed = true; return true;
        }
        return true;
    }

    bool Positional(const std::wstring& arg)
    {
        if (m_o.m_command == CliCommand::None) {
            if (arg == L"discover")
                m_o.m_command = CliCommand::Discover;
            else if (arg == L"flash")
                m_o.m_command = CliCommand::Flash;
            else if (arg == L"watch")
                m_o.m_command = CliCommand::Watch;
            else if (arg == L"help")
                m_o.m_command = CliCommand::Help;
            else
                return Fail(L"unknown command '" + arg + L"' (the commands are discover, flash and watch)");
            return m_o.m_command != CliCommand::Help;
        }
        if ((m_o.m_command == CliCommand::Flash || m_o.m_command == CliCommand::Watch) && !m_bHaveFile) {
            m_o.m_strFile = arg;
            m_bHaveFile = true;
        } else {
            m_o.m_addresses.push_back(arg);
        }
        return true;
    }

    bool Fail(const std::wstring& error)
    {
        m_o.m_strError = error;
        return false;
    }

    void Check()
    {
        if (!m_o.m_strError.empty() || m_o.m_command == CliCommand::Help || m_o.m_command == CliCommand::Version)
            return;
        if (m_o.m_command == CliCommand::None) {
            Fail(L"no command given (discover, flash or watch)");
        } else if (m_o.m_command != CliCommand::Watch && !m_strWatchOnly.empty()) {
            Fail(m_strWatchOnly + L" is an option of watch");
        } else if (m_o.m_command == CliCommand::Discover && !m_strFlashOnly.empty()) {
            Fail(m_strFlashOnly + L" is an option of flash");
        } else if (m_o.m_command == CliCommand::Watch) {
            CheckWatch();
        } else if (m_o.m_command == CliCommand::Flash) {
            const bool named = !m_o.m_addresses.empty() || !m_o.m_listFiles.empty();
            if (!m_bHaveFile)
                Fail(L"flash needs a firmware FILE");
            else if (m_o.m_bAll && named)
                Fail(L"--all finds the boards itself: give no addresses and no --list with it");
            else if (!m_o.m_bAll && !named)
                Fail(L"flash needs boards: addresses, --list FILE or --all");
        }
    }

private:
    void CheckWatch()
    {
        // Watch finds its boards itself, for as long as it runs.
        if (!m_bHaveFile)
            Fail(L"watch needs a firmware FILE");
        else if (!m_o.m_addresses.empty() || !m_o.m_listFiles.empty() || m_o.m_bAll)
            Fail(L"watch finds the boards itself: give no addresses, no --list and no --all");
        else if (m_o.m_bJson)
            Fail(L"watch reports each board as a line; --json is an option of discover and flash");
        else if (m_bWait)
            Fail(L"watch asks for boards every --interval seconds; --wait is an option of discover and flash");
        else if (m_o.m_bOncePerMac && m_o.m_strRecord.empty())
            Fail(L"--once-per-mac looks up the boards in the record: give --record FILE");
    }

    CliOptions& m_o;
    bool m_bHaveFile = false;
    bool m_bWait = false;
    std::wstring m_strFlashOnly; // the last flash-only option seen
    std::wstring m_strWatchOnly; // the last watch-only option seen
};

} // namespace

bool ParseSeconds(const std::wstring& text, std::uint64_t& ms)
{
    std::uint64_t whole = 0, fraction = 0;
    std::size_t pos = 0, digits = 0, decimals = 0;
    for (; pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9' && digits < 7; ++pos, ++digits)
        whole = whole * 10 + static_cast<std::uint64_t>(text[pos] - L'0');
    if (pos < text.size() && text[pos] == L'.') {
        for (++pos; pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9' && decimals < 3; ++pos, ++decimals)
            fraction = fraction * 10 + static_cast<std::uint64_t>(text[pos] - L'0');
        if (decimals == 0)
            return false;
    }
    if (digits == 0 || pos != text.size())
        return false;
    for (std::size_t d = decimals; d < 3; ++d)
        fraction *= 10;
    ms = whole * 1000 + fraction;
    return true;
}

CliOptions ParseOptions(const std::vector<std::wstring>& args)
{
    CliOptions options;
    Parser parser(options);
    bool positionalOnly = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        bool more = true;
        if (positionalOnly || arg == L"-" || arg.empty() || arg[0] != L'-') {
            more = parser.Positional(arg);
        } else if (arg == L"--") {
            positionalOnly = true;
        } else if (arg == L"-h") {
            more = parser.Option(OPTIONS[0], std::wstring());
        } else if (arg.rfind(L"--", 0) != 0) {
            more = parser.Fail(L"unknown option '" + arg + L"'");
        } else {
            const std::size_t equals = arg.find(L'=');
            const std::wstring name = arg.substr(2, equals == std::wstring::npos ? std::wstring::npos : equals - 2);
            const OptionRow* row = FindOption(name);
            if (row == nullptr) {
                more = parser.Fail(L"unknown option '--" + name + L"'");
            } else if (!row->takesValue) {
                more = equals == std::wstring::npos ? parser.Option(*row, std::wstring())
                                                    : parser.Fail(L"--" + name + L" takes no value");
            } else if (equals != std::wstring::npos) {
                more = parser.Option(*row, arg.substr(equals + 1));
            } else if (i + 1 < args.size()) {
                more = parser.Option(*row, args[++i]);
            } else {
                more = parser.Fail(L"--" + name + L" needs a value");
            }
        }
        if (!more)
            break;
    }
    parser.Check();
    return options;
}
