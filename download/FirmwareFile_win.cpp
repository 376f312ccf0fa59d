#include "download/FirmwareFile_win.h"

// No sharing: a file another program holds open is refused, and nobody can change
// the image while it is being sent.
bool CFirmwareFile::Open(const std::wstring& path)
{
    return m_file.Open(path, CFile::modeRead | CFile::shareExclusive) != FALSE;
}

void CFirmwareFile::Close()
{
    m_file.Close();
}

bool CFirmwareFile::IsOpen() const
{
    return m_file.IsOpen() != FALSE;
}

bool CFirmwareFile::GetLength(std::uint64_t& length)
{
    return m_file.GetLength(length) != FALSE;
}

bool CFirmwareFile::SeekToBegin()
{
    return m_file.SeekToBegin() != FALSE;
}

bool CFirmwareFile::GetPosition(std::uint64_t& position)
{
    return m_file.GetPosition(position) != FALSE;
}

int CFirmwareFile::Read(std::uint8_t* buffer, int count)
{
    return m_file.Read(buffer, count);
}
