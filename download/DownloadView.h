#pragma once

#include <cstdint>
#include <string>

#include "download/IDownloadHost.h"

// The bar repaints at every move, which can cost more than a block's round
// trip; a new percentage is shown at most this often (the filled bar always).
constexpr std::uint64_t PROGRESS_SPACING_MS = 200;

// A download's host that shows its facts as a window does: status lines in a
// log and steps of a progress bar. The shell supplies the log, the bar and
// the services the download needs.
class DownloadView : public IDownloadHost {
public:
    void OnDownloadStarted(const std::wstring& path) override;
    void OnOpenFailed(const std::wstring& path) override;
    void OnBoardStarted(int position, const std::wstring& address) override;
    void OnRetrying(int position, const std::wstring& address, std::uint8_t opcode) override;
    void OnRebootSent(int position, const std::wstring& address) override;
    void OnBoardRestarted(int position, const std::wstring& address, std::uint32_t block) override;
    void OnBlockAcked(const BlockAcked& acked) override;
    void OnBoardFinished(const BoardEnd& end) override;

protected:
    virtual void RestartLog(const std::wstring& line) = 0; // empties the log, then shows the line
    virtual void Log(const std::wstring& line) = 0;        // the newest line on top
    virtual void SetBarRange(int maximum) = 0;             // from 0
    virtual void SetBarPos(int position) = 0;

private:
    void StartBar();

    int m_nShownPercent = 0;      // what the bar shows for the board being served
    std::uint64_t m_nShownAt = 0; // when it last moved
    bool m_bShownYet = false;     // it moved since the board started
};
