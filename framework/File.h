// An open file handle, closed when destroyed.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Win32.h"

class CFile {
public:
    enum OpenFlags : unsigned { modeRead = 0x0000, shareExclusive = 0x0010 };

    CFile() = default;
    ~CFile() { Close(); }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens an existing file for reading; shareExclusive lets no other opener in.
    BOOL Open(const std::wstring& path, unsigned nOpenFlags);
    void Close();
    BOOL IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    // Bytes read, or -1 on a read error.
    int Read(void* lpBuf, int nCount);
    BOOL GetLength(std::uint64_t& length) const;
    BOOL GetPosition(std::uint64_t& position) const;
    BOOL SeekToBegin();

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};
