#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Reads a file opened by the platform (null when the open failed, errno set)
// to its end and closes it; `error` says why when it fails.
bool ReadAndClose(std::FILE* file, std::vector<std::uint8_t>& bytes, std::wstring& error);
// errno as text.
std::wstring ErrnoText(int error);
