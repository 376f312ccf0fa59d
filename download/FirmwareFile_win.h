// The firmware file as the download sequencer reads it.
#pragma once

#include "download/DownloadSequencer.h"
#include "framework/File.h"

class CFirmwareFile : public IFirmwareFile {
public:
    bool Open(const std::wstring& path) override;
    void Close() override;
    bool IsOpen() const override;
    bool GetLength(std::uint64_t& length) override;
    bool SeekToBegin() override;
    bool GetPosition(std::uint64_t& position) override;
    int Read(std::uint8_t* buffer, int count) override;

private:
    CFile m_file;
};
