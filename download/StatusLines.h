#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "download/IDownloadHost.h"

// The status log's texts for what a download reports; each ends with "\r\n".
std::wstring DownloadingLine(const std::wstring& path);
std::wstring OpenFailedLine(const std::wstring& path);
std::wstring RetryLine(std::uint8_t opcode, const std::wstring& ip);
std::wstring RebootingLine(const std::wstring& ip);
// In the order they are logged; none after a reboot ack.
std::vector<std::wstring> BoardEndLines(const BoardEnd& end);
std::vector<std::wstring> RestartLines(const std::wstring& ip); // acks out of step, started over
