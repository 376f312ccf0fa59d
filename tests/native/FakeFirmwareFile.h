#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "download/IFirmwareFile.h"

// An in-memory firmware file with errors on demand; counts every use of a closed file.
class FakeFirmwareFile : public IFirmwareFile {
public:
    std::vector<std::uint8_t> m_bytes;
    bool m_bFailOpen = false, m_bFailLength = false;
    int m_nSeekErrorAt = -1;     // index of the SeekToBegin call that fails
    int m_nReadErrorAt = -1;     // index of the Read call that fails
    int m_nPositionErrorAt = -1; // index of the GetPosition call that fails
    int m_nReads = 0, m_nPositions = 0, m_nSeeks = 0, m_nClosedUses = 0;
    bool m_bOpen = false;
    std::uint64_t m_nPos = 0;

    bool Open(const std::wstring&) override
    {
        m_bOpen = !m_bFailOpen;
        m_nPos = 0;
        return m_bOpen;
    }
    void Close() override { m_bOpen = false; }
    bool IsOpen() const override { return m_bOpen; }
    bool GetLength(std::uint64_t& length) override
    {
        Use();
        length = m_bytes.size();
        return !m_bFailLength;
    }
    bool SeekToBegin() override
    {
        Use();
        m_nPos = 0;
        return m_nSeeks++ != m_nSeekErrorAt;
    }
    bool GetPosition(std::uint64_t& position) override
    {
        Use();
        position = m_nPos;
        return m_nPositions++ != m_nPositionErrorAt;
    }
    int Read(std::uint8_t* buffer, int count) override
    {
        Use();
        if (m_nReads++ == m_nReadErrorAt)
            return -1;
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), m_bytes.size() - std::min<std::size_t>(m_nPos, m_bytes.size()));
        if (n > 0)
            std::memcpy(buffer, m_bytes.data() + m_nPos, n);
        m_nPos += n;
        return static_cast<int>(n);
    }

private:
    void Use()
    {
        if (!m_bOpen)
            ++m_nClosedUses;
    }
};
