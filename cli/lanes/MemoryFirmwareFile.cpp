#include "cli/lanes/MemoryFirmwareFile.h"

#include <algorithm>

MemoryFirmwareFile::MemoryFirmwareFile(const std::vector<std::uint8_t>& image)
    : m_image(image)
{
}

bool MemoryFirmwareFile::Open(const std::wstring&)
{
    // The path was read when the command started; its bytes are all here.
    m_bOpen = true;
    m_nPosition = 0;
    return true;
}

void MemoryFirmwareFile::Close()
{
    m_bOpen = false;
}

bool MemoryFirmwareFile::IsOpen() const
{
    return m_bOpen;
}

bool MemoryFirmwareFile::GetLength(std::uint64_t& length)
{
    length = m_image.size();
    return m_bOpen;
}

bool MemoryFirmwareFile::SeekToBegin()
{
    m_nPosition = 0;
    return m_bOpen;
}

bool MemoryFirmwareFile::GetPosition(std::uint64_t& position)
{
    position = m_nPosition;
    return m_bOpen;
}

int MemoryFirmwareFile::Read(std::uint8_t* buffer, int count)
{
    if (!m_bOpen || count < 0)
        return -1;
    const std::size_t left = m_image.size() - m_nPosition;
    const std::size_t take = std::min(left, static_cast<std::size_t>(count));
    std::copy_n(m_image.begin() + static_cast<std::ptrdiff_t>(m_nPosition), take, buffer);
    m_nPosition += take;
    return static_cast<int>(take);
}
