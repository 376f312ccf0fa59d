#pragma once

#include <cstdint>
#include <vector>

#include "download/IFirmwareFile.h"

// A view of an image read once into memory: every sequencer of a parallel
// download reads the same bytes, each with a position of its own.
class MemoryFirmwareFile : public IFirmwareFile {
public:
    explicit MemoryFirmwareFile(const std::vector<std::uint8_t>& image);

    bool Open(const std::wstring& path) override;
    void Close() override;
    bool IsOpen() const override;
    bool GetLength(std::uint64_t& length) override;
    bool SeekToBegin() override;
    bool GetPosition(std::uint64_t& position) override;
    int Read(std::uint8_t* buffer, int count) override;

private:
    const std::vector<std::uint8_t>& m_image;
    std::size_t m_nPosition = 0;
    bool m_bOpen = false;
};
