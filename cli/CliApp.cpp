#include "cli/CliApp.h"

#include "cli/commands/CliRun.h"
#include "cli/commands/HelpText.h"
#include "cli/platform/IPlatform.h"

namespace {

CliExit Command(CliRun& run, const std::vector<std::wstring>& args)
{
    CliOptions& options = run.Options();
    options = ParseOptions(args);
    if (!options.m_strError.empty()) {
        run.Message(options.m_strError + L"\nTry 'tarnwell-cli --help'.");
        return CliExit::Usage;
    }
    switch (options.m_command) {
    case CliCommand::Help: run.Print(HelpText()); break;
    case CliCommand::Version: run.Print(VersionText()); break;
    case CliCommand::Discover: return DiscoverCommand(run);
    case CliCommand::Flash: return FlashCommand(run);
    case CliCommand::Watch: return WatchCommand(run);
    case CliCommand::None: return CliExit::Usage;
    }
    return CliExit::Ok;
}

} // namespace

int RunCli(IPlatform& platform, IClock& clock, const std::vector<std::wstring>& args)
{
    CliRun run(platform, clock);
    const CliExit code = Command(run, args);
    run.Print(std::string()); // whatever is still buffered must reach its file too
    // Ctrl-C is how a watch ends: its status is that of the boards it served.
    if (const int signal = platform.Interruption(); signal != 0 && run.Options().m_command != CliCommand::Watch)
        return 128 + signal;
    return run.Status(code);
}
