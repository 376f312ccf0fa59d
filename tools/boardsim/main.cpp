// boardsim: plays networked boards for end-to-end tests and demonstrations. See --help.
#include "EventLoop.h"
#include "ImageStore.h"
#include "Options.h"
#include "Report.h"
#include "RequestLog.h"
#include "Simulator.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <sys/resource.h>

using namespace boardsim;

namespace {

EventLoop* g_loop = nullptr;

void OnStopSignal(int)
{
    if (g_loop != nullptr)
        g_loop->RequestStop();
}

void OnSnapshotSignal(int)
{
    if (g_loop != nullptr)
        g_loop->RequestSnapshot();
}

void InstallSignals()
{
    struct sigaction sa{};
    sa.sa_handler = OnStopSignal;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    sa.sa_handler = OnSnapshotSignal;
    sigaction(SIGUSR1, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

// A thousand boards need a thousand sockets: take whatever the hard limit allows.
void RaiseFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

bool WriteReports(const std::string& program, const Options& options, const Simulator& sim, Micros elapsed)
{
    bool ok = true;
    std::string error;
    if (!options.summaryPath.empty()) {
        std::ostringstream json;
        Report::WriteSummaryJson(sim, elapsed, json);
        if (!Report::WriteFileAtomically(options.summaryPath, json.str(), error)) {
            std::cerr << program << ": " << error << "\n";
            ok = false;
        }
    }
    if (!options.verdictPath.empty()) {
        std::ostringstream keys;
        Report::WriteVerdictKeys(sim, keys);
        if (!Report::WriteFileAtomically(options.verdictPath, keys.str(), error)) {
            std::cerr << program << ": " << error << "\n";
            ok = false;
        }
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    // Named as it was started: boardsim in the build tree, tarnwell-boardsim where it is installed.
    const std::string program = argc > 0 ? std::filesystem::path(argv[0]).filename().string() : "boardsim";
    Options options;
    std::string error;
    if (!Options::Parse(argc, argv, options, error)) {
        std::cerr << program << ": " << error << "\n";
        return 2;
    }
    if (options.help) {
        std::cout << Options::Usage(program);
        return 0;
    }
    if (options.version) {
        std::cout << program << " " << BOARDSIM_VERSION << "\n";
        return 0;
    }
    std::vector<std::uint8_t> expected;
    if (!options.expectPath.empty()) {
        std::ifstream in(options.expectPath, std::ios::binary);
        if (!in) {
            std::cerr << "boardsim: cannot read " << options.expectPath << "\n";
            return 2;
        }
        expected.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::FILE* logFile = stdout;
    if (!options.logPath.empty()) {
        logFile = std::fopen(options.logPath.c_str(), "w");
        if (logFile == nullptr) {
            std::cerr << "boardsim: cannot write " << options.logPath << "\n";
            return 2;
        }
    }
    RaiseFileLimit();
    const ImageStore store(options.outDir, std::move(expected), !options.expectPath.empty());
    Simulator sim(options.boards, store);
    sim.SetBroadcastToAll(options.broadcastToAll);
    sim.SetBroadcastSpread(options.spread);
    RequestLog log(logFile, options.quiet);
    sim.SetLog(&log);
    EventLoop loop(sim, &log);
    const std::string listen = options.ListenAddress();
    if (!loop.Open(options.port, listen, error)) {
        std::cerr << program << ": " << error << "\n";
        return 2;
    }
    g_loop = &loop;
    InstallSignals();
    loop.OnSnapshot([&]() { WriteReports(program, options, sim, loop.Now()); });
    log.Note(loop.Now(), Format("%zu boards on port %u, broadcast listener %s", sim.BoardCount(), options.port,
                                listen.empty() ? "off" : listen.c_str()));
    log.Flush();
    if (!options.readyPath.empty()) {
        std::ofstream ready(options.readyPath);
        ready << "ready\n";
    }
    loop.Run(options.exitAfter);
    g_loop = nullptr;
    sim.Finish(loop.Now());
    const bool written = WriteReports(program, options, sim, loop.Now());
    std::ostringstream verdict;
    Report::WriteVerdict(sim, verdict, options.quiet);
    if (logFile != stdout) {
        std::fputs(verdict.str().c_str(), logFile);
        std::fclose(logFile);
    }
    std::fflush(stdout);
    std::cout << verdict.str() << std::flush;
    return written ? Report::ExitStatus(sim) : 2;
}
