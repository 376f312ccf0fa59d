// One guard for every window and dialog procedure: nothing unwinds into Windows.
#pragma once

#include <exception>

#include "framework/Win32.h"

// What a guarded callback does with an exception that reached it. By default
// the process ends; the Windows tests put their own in to see that a callback
// is guarded. Returns the one it replaces.
using CallbackFailure = void (*)(const char* what);
CallbackFailure SetCallbackFailure(CallbackFailure failure);
void ReportCallbackFailure(const char* what);

// Runs a handler inside a Win32 callback. Our code throws nothing, so anything
// that does (out of memory) ends the process loudly rather than unwinding
// through frames that Windows owns.
template <class Handler>
auto GuardCallback(Handler&& handler) noexcept -> decltype(handler())
{
    try {
        return handler();
    } catch (const std::exception& e) {
        ReportCallbackFailure(e.what());
    } catch (...) {
        ReportCallbackFailure("Unexpected failure in a window handler.");
    }
    return {};
}
