#pragma once

#include <cstdint>
#include <string>

// The firmware image as the download reads it.
class IFirmwareFile {
public:
    virtual ~IFirmwareFile() = default;
    virtual bool Open(const std::wstring& path) = 0; // read only, existing file, no sharing
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual bool GetLength(std::uint64_t& length) = 0;
    virtual bool SeekToBegin() = 0;
    virtual bool GetPosition(std::uint64_t& position) = 0;
    virtual int Read(std::uint8_t* buffer, int count) = 0; // bytes read, -1 on error
};
