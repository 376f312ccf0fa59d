#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// An address list is text of a few kilobytes; one that never ends (a link to
// /dev/zero) is refused at this size instead of filling the memory.
constexpr std::size_t MAX_LIST_FILE_BYTES = 1 << 20;

// Reads a file opened by the platform (null when the open failed, errno set)
// to its end, at most `limit` bytes, and closes it; `error` says why when it fails.
bool ReadAndClose(std::FILE* file, std::vector<std::uint8_t>& bytes, std::wstring& error,
    std::size_t limit = MAX_LIST_FILE_BYTES);
// errno as text.
std::wstring ErrnoText(int error);

// Reads a regular file of `size` bytes, opened by the platform, and closes it.
// Refuses one larger than `limit` before reading a byte, and one whose size
// changes while it is read: the image is whole or there is none.
bool ReadWholeFile(std::FILE* file, std::uint64_t size, std::uint64_t limit, std::vector<std::uint8_t>& bytes,
    std::wstring& error);
// What a path leads to when it is no regular file: "a FIFO", "a link to a character device", ...
std::wstring NotRegularFile(const std::wstring& what, bool viaLink);
