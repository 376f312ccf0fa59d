#pragma once

#include <string>

// Wire text is 8-bit in the workstation's ANSI code page; inside, text is wide.
std::string WideToAnsi(const std::wstring& text);
std::wstring AnsiToWide(const std::string& text);
// Whether the text survives the trip to the wire and back unchanged.
bool FitsAnsi(const std::wstring& text);
