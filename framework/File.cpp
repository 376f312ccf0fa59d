#include "framework/File.h"

BOOL CFile::Open(const std::wstring& path, unsigned nOpenFlags)
{
    Close();
    DWORD share = (nOpenFlags & shareExclusive) ? 0 : (FILE_SHARE_READ | FILE_SHARE_WRITE);
    m_hFile = ::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return IsOpen();
}

void CFile::Close()
{
    if (IsOpen()) {
        ::CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
}

int CFile::Read(void* lpBuf, int nCount)
{
    DWORD got = 0;
    if (!::ReadFile(m_hFile, lpBuf, static_cast<DWORD>(nCount), &got, nullptr))
        return -1;
    return static_cast<int>(got);
}

BOOL CFile::GetLength(std::uint64_t& length) const
{
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(m_hFile, &size))
        return FALSE;
    length = static_cast<std::uint64_t>(size.QuadPart);
    return TRUE;
}

BOOL CFile::GetPosition(std::uint64_t& position) const
{
    LARGE_INTEGER zero = {};
    LARGE_INTEGER pos;
    if (!::SetFilePointerEx(m_hFile, zero, &pos, FILE_CURRENT))
        return FALSE;
    position = static_cast<std::uint64_t>(pos.QuadPart);
    return TRUE;
}

BOOL CFile::SeekToBegin()
{
    LARGE_INTEGER zero = {};
    return ::SetFilePointerEx(m_hFile, zero, nullptr, FILE_BEGIN);
}
