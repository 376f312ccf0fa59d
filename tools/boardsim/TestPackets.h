// Requests as a workstation builds them, for the simulator's tests.
#pragma once

#include "Wire.h"

#include <cstdint>
#include <string>
#include <vector>

namespace boardsim::test {

inline std::vector<std::uint8_t> Request(std::uint8_t op, std::uint16_t length, std::uint32_t sequence,
                                         const std::vector<std::uint8_t>& payload = {}, std::uint8_t status = 0)
{
    std::vector<std::uint8_t> bytes(kHeaderSize);
    WriteHeader(bytes.data(), Header{op, status, length, sequence});
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

inline std::vector<std::uint8_t> Discovery()
{
    return Request(kOpDiscover, 0, 0);
}

inline std::vector<std::uint8_t> FileName(const std::string& name)
{
    std::vector<std::uint8_t> text(name.begin(), name.end());
    text.push_back(0);
    return Request(kOpFileName, static_cast<std::uint16_t>(text.size()), 0, text);
}

inline std::vector<std::uint8_t> Block(const std::vector<std::uint8_t>& file, std::uint32_t sequence)
{
    const std::size_t offset = std::size_t{sequence} * kBlockSize;
    const std::size_t size = offset >= file.size() ? 0 : std::min(kBlockSize, file.size() - offset);
    const std::vector<std::uint8_t> payload(file.begin() + static_cast<std::ptrdiff_t>(offset),
                                            file.begin() + static_cast<std::ptrdiff_t>(offset + size));
    return Request(kOpData, static_cast<std::uint16_t>(size), sequence, payload);
}

inline std::vector<std::uint8_t> Reboot()
{
    return Request(kOpReboot, 0, 0);
}

inline std::uint32_t BlockCount(std::size_t fileSize)
{
    return fileSize == 0 ? 1 : static_cast<std::uint32_t>((fileSize + kBlockSize - 1) / kBlockSize);
}

// Bytes that differ from block to block, so that a misplaced block shows.
inline std::vector<std::uint8_t> TestFile(std::size_t size)
{
    std::vector<std::uint8_t> file(size);
    for (std::size_t i = 0; i < size; ++i)
        file[i] = static_cast<std::uint8_t>((i * 7 + i / kBlockSize) & 0xff);
    return file;
}

}  // namespace boardsim::test
