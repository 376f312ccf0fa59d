#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/lanes/BoardSlot.h"
#include "cli/lanes/IFlashObserver.h"

struct FlashJob {
    std::wstring m_strPath;                 // named in the status lines
    std::string m_strAnsiName;              // carried by the file-name request
    std::vector<std::wstring> m_addresses;  // normalised, each once
    int m_nParallel = 1;
};

// Up to N boards at once: board i goes to slot i mod N, so no board is in
// two slots' lists and with N = 1 the order is the window's.
class FlashBatch : private FlashRelay {
public:
    // `locks`: claims on the boards while they are served; null: none taken.
    FlashBatch(EventLoop& loop, BoardLink& link, IFlashObserver& observer, const std::vector<std::uint8_t>& image,
        BoardLocks* locks = nullptr);

    // One end per address, in the job's order. When the loop is stopped
    // (an interrupt), the boards being served end "interrupted" and those
    // not yet begun "not started"; nothing more is sent.
    std::vector<DownloadEnd> Run(const FlashJob& job);
    void OnReply(const BoardReply& reply, const std::wstring& sender);
    // Discovery replies that come in while the batch runs (boards asked whether they came back).
    void SetDiscoveryHandler(std::function<void(const BoardReply&, const std::wstring&)> handler)
    {
        m_onDiscovery = std::move(handler);
    }

private:
    void OnBoardFinished(int board, const DownloadEnd& end) override;
    bool AnyRunning() const;
    void CutShort(std::size_t lanes);

    EventLoop& m_loop;
    BoardLink& m_link;
    const std::vector<std::uint8_t>& m_image;
    BoardLocks* m_pLocks;
    std::vector<std::unique_ptr<BoardSlot>> m_slots;
    std::map<std::wstring, BoardSlot*> m_slotOf; // a reply goes to the slot serving its sender
    std::vector<DownloadEnd> m_ends;
    std::vector<bool> m_finished;
    std::function<void(const BoardReply&, const std::wstring&)> m_onDiscovery;
};
