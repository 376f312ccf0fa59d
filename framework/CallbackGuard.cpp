#include "framework/CallbackGuard.h"

namespace {

void EndProcess(const char* what)
{
    ::FatalAppExitA(0, what);
}

CallbackFailure g_failure = EndProcess;

}  // namespace

CallbackFailure SetCallbackFailure(CallbackFailure failure)
{
    const CallbackFailure before = g_failure;
    g_failure = failure != nullptr ? failure : EndProcess;
    return before;
}

// Window procedures run on the thread that made the window, and the tests set
// the failure on that thread before any runs: no lock is needed.
void ReportCallbackFailure(const char* what)
{
    g_failure(what);
}
