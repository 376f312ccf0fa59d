#include "cli/CliApp.h"

#include "cli/commands/HelpText.h"
#include "cli/platform/IPlatform.h"

CliApp::CliApp(IPlatform& platform, IClock& clock)
    : m_platform(platform), m_run(platform, clock)
{
}

int CliApp::Run(const std::vector<std::wstring>& args)
{
    const CliExit code = Command(args);
    m_run.Print(std::string()); // whatever is still buffered must reach its file too
    // Ctrl-C is how a watch ends: its status is that of the boards it served.
    if (const int signal = m_platform.Interruption(); signal != 0 && m_run.Options().m_command != CliCommand::Watch)
        return 128 + signal;
    return m_run.Status(code);
}

CliExit CliApp::Command(const std::vector<std::wstring>& args)
{
    CliOptions& options = m_run.Options();
    options = ParseOptions(args);
    if (!options.m_strError.empty()) {
        m_run.Message(options.m_strError + L"\nTry 'tarnwell-cli --help'.");
        return CliExit::Usage;
    }
    switch (options.m_command) {
    case CliCommand::Help: m_run.Print(HelpText()); break;
    case CliCommand::Version: m_run.Print(VersionText()); break;
    case CliCommand::Discover: return DiscoverCommand(m_run);
    case CliCommand::Flash: return FlashCommand(m_run);
    case CliCommand::Watch: return WatchCommand(m_run);
    case CliCommand::None: return CliExit::Usage;
    }
    return CliExit::Ok;
}
