#pragma once

#include <cstdint>
#include <string>

#include "download/IDownloadHost.h"

// The status log's texts for what a download reports; each ends with "\r\n".
std::wstring DownloadingLine(const std::wstring& path);
std::wstring OpenFailedLine(const std::wstring& path);
std::wstring RetryLine(std::uint8_t opcode, const std::wstring& ip);
std::wstring RebootingLine(const std::wstring& ip);
std::wstring BoardEndLine(const BoardEnd& end); // empty after a reboot ack
