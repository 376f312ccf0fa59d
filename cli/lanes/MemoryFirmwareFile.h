#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "download/IFirmwareFile.h"

struct FirmwareKind;

// The image a command sends, read whole, once.
struct Firmware {
    const FirmwareKind* m_pKind = nullptr;
    std::string m_strAnsiName; // carried by the file-name request
    std::vector<std::uint8_t> m_image;
};

// A view of an image read once into memory: every sequencer of a parallel
// download reads the same bytes, each with a position of its own. The path
// was read when the command started; opening only starts at the beginning.
class MemoryFirmwareFile : public IFirmwareFile {
public:
    explicit MemoryFirmwareFile(const std::vector<std::uint8_t>& image) : m_image(image) {}

    bool Open(const std::wstring&) override
    {
        m_bOpen = true;
        return SeekToBegin();
    }
    void Close() override { m_bOpen = false; }
    bool IsOpen() const override { return m_bOpen; }
    bool GetLength(std::uint64_t& length) override
    {
        length = m_image.size();
        return m_bOpen;
    }
    bool SeekToBegin() override
    {
        m_nPosition = 0;
        return m_bOpen;
    }
    bool GetPosition(std::uint64_t& position) override
    {
        position = m_nPosition;
        return m_bOpen;
    }
    int Read(std::uint8_t* buffer, int count) override
    {
        if (!m_bOpen || count < 0)
            return -1;
        const std::size_t take = std::min(m_image.size() - m_nPosition, static_cast<std::size_t>(count));
        std::copy_n(m_image.data() + m_nPosition, take, buffer);
        m_nPosition += take;
        return static_cast<int>(take);
    }

private:
    const std::vector<std::uint8_t>& m_image;
    std::size_t m_nPosition = 0;
    bool m_bOpen = false;
};
