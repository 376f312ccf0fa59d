// One guard for every window and dialog procedure: nothing unwinds into Windows.
#pragma once

#include <exception>

#include "framework/Win32.h"

// Runs a handler inside a Win32 callback. Our code throws nothing, so anything
// that does (out of memory) ends the process loudly rather than unwinding
// through frames that Windows owns.
template <class Handler>
auto GuardCallback(Handler&& handler) noexcept -> decltype(handler())
{
    try {
        return handler();
    } catch (const std::exception& e) {
        ::FatalAppExitA(0, e.what());
    } catch (...) {
        ::FatalAppExitA(0, "Unexpected failure in a window handler.");
    }
    return {};
}
