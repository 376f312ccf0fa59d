// UTF-8 output for the driver: results on stdout one item a line, errors on stderr.
#pragma once

#include <string>
#include <string_view>

namespace console {

void Line(std::wstring_view text);
// Prints a multi-line control text one line at a time (CR LF and LF both end a line).
void Lines(std::wstring_view text);
// Prints "uidriver: <text>" on stderr and returns code, so callers can write `return console::Fail(...)`.
int Fail(int code, std::wstring_view text);
void Flush();

std::string ToUtf8(std::wstring_view text);

}  // namespace console

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitNotFound = 2;   // window, control or dialog absent, or a wait timed out
constexpr int kExitFailed = 3;     // found, but the action could not be done
