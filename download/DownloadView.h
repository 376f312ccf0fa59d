#pragma once

#include <cstdint>
#include <string>

#include "download/IDownloadHost.h"

// The bar repaints at every move, which can cost more than a block's round
// trip; a new percentage is shown at most this often (the filled bar always).
constexpr std::uint64_t PROGRESS_SPACING_MS = 200;

// What a window shows of a download: the status log and the progress bar.
class IDownloadScreen {
public:
    virtual ~IDownloadScreen() = default;
    virtual void RestartLog(const std::wstring& line) = 0; // empties the log, then shows the line
    virtual void Log(const std::wstring& line) = 0;        // the newest line on top
    virtual void SetBarRange(int maximum) = 0;             // from 0
    virtual void SetBarPos(int position) = 0;
};

// Turns a download's facts into status lines and bar steps.
class DownloadView {
public:
    explicit DownloadView(IDownloadScreen& screen) : m_screen(screen) {}

    void OnDownloadStarted(const std::wstring& path);
    void OnOpenFailed(const std::wstring& path);
    void OnBoardStarted();
    void OnRetrying(const std::wstring& address, std::uint8_t opcode);
    void OnRebootSent(const std::wstring& address);
    void OnBlockAcked(const BlockAcked& acked);
    void OnBoardFinished(const BoardEnd& end);
    void OnBoardRestarted(const std::wstring& address);

private:
    void StartBar();

    IDownloadScreen& m_screen;
    int m_nShownPercent = 0;      // what the bar shows for the board being served
    std::uint64_t m_nShownAt = 0; // when it last moved
    bool m_bShownYet = false;     // it moved since the board started
};
