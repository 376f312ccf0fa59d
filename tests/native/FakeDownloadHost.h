#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "download/DownloadSequencer.h"
#include "download/DownloadView.h"
#include "download/StatusLines.h"

// Records everything the sequencer asks of its window and what it reports, against a fake clock.
class FakeDownloadHost : public DownloadView {
public:
    struct Sent {
        std::wstring ip;
        std::vector<std::uint8_t> bytes;
        std::uint64_t time;
    };

    std::uint64_t m_now = 0;
    std::deque<SequencerMessage> m_posted;
    bool m_bTimer = false;   // a deadline is scheduled
    std::uint64_t m_deadline = 0;
    std::vector<Sent> m_sent;
    std::vector<std::wstring> m_lines;
    std::vector<std::uint64_t> m_lineTimes;
    std::wstring m_status; // the log as the window shows it: newest line on top
    std::vector<int> m_progress; // the bar as the window moves it; a range change is recorded as -maximum
    std::vector<std::uint64_t> m_shownTimes; // when a new percentage was shown
    bool m_bReady = true;
    std::vector<BoardEnd> m_finished;
    std::vector<BlockAcked> m_acked;
    std::vector<std::uint32_t> m_restarts; // the block at which a board was started over
    std::vector<std::size_t> m_restartAt;  // how many requests had gone out by then
    std::vector<std::size_t> m_finishedAt; // the same when each board finished
    std::function<void(const Sent&)> m_onSend;
    std::set<std::wstring> m_heldElsewhere; // boards another program is updating
    std::vector<std::wstring> m_claims;     // "+ip" taken, "-ip" released, "?ip" refused

    std::uint64_t NowMs() override { return m_now; }
    void PostSequencerMessage(SequencerMessage message) override { m_posted.push_back(message); }
    void ScheduleTick(std::uint64_t deadline) override
    {
        m_bTimer = deadline != NO_DEADLINE;
        m_deadline = deadline;
    }
    bool SendToBoard(const std::wstring& ip, const std::uint8_t* data, int length) override
    {
        m_sent.push_back(Sent{ip, std::vector<std::uint8_t>(data, data + length), m_now});
        if (m_onSend)
            m_onSend(m_sent.back());
        return true;
    }

    // The facts, rendered by the window's own renderer.
    void OnDownloadStarted(const std::wstring& path) override
    {
        m_bReady = false;
        DownloadView::OnDownloadStarted(path);
    }
    void OnOpenFailed(const std::wstring& path) override
    {
        DownloadView::OnOpenFailed(path);
        m_bReady = true;
    }
    void OnBlockAcked(const BlockAcked& acked) override
    {
        m_acked.push_back(acked);
        DownloadView::OnBlockAcked(acked);
    }
    void OnBoardFinished(const BoardEnd& end) override
    {
        DownloadView::OnBoardFinished(end);
        m_finished.push_back(end);
        m_finishedAt.push_back(m_sent.size());
    }
    void OnDownloadEnded() override { m_bReady = true; }
    void OnBoardRestarted(int position, const std::wstring& ip, std::uint32_t block) override
    {
        DownloadView::OnBoardRestarted(position, ip, block);
        m_restarts.push_back(block);
        m_restartAt.push_back(m_sent.size());
    }

    // What the window's status log and bar are told.
    void RestartLog(const std::wstring& line) override
    {
        m_status.clear();
        Log(line);
    }
    void Log(const std::wstring& line) override
    {
        m_lines.push_back(line);
        m_lineTimes.push_back(m_now);
        m_status.insert(0, line);
    }
    void SetBarRange(int maximum) override { m_progress.push_back(-maximum); }
    void SetBarPos(int position) override
    {
        // p + 1 then p shows a new percentage; the fill after the range change does not count.
        const std::size_t n = m_progress.size();
        if (n >= 1 && m_progress[n - 1] == position + 1 && (n < 2 || m_progress[n - 2] >= 0))
            m_shownTimes.push_back(m_now);
        m_progress.push_back(position);
    }
    bool TakeBoard(const std::wstring& ip) override
    {
        const bool held = m_heldElsewhere.count(ip) != 0;
        m_claims.push_back((held ? L"?" : L"+") + ip);
        return !held;
    }
    void ReleaseBoard(const std::wstring& ip) override { m_claims.push_back(L"-" + ip); }

    // The timer fires: the clock reaches the scheduled deadline, if any.
    void Expire(DownloadSequencer& sequencer)
    {
        if (m_bTimer)
            m_now = std::max(m_now, m_deadline);
        sequencer.OnTick(m_now);
    }

    // Runs the oldest posted message; false when none waits.
    bool DispatchOne(DownloadSequencer& sequencer)
    {
        if (m_posted.empty())
            return false;
        const SequencerMessage message = m_posted.front();
        m_posted.pop_front();
        sequencer.Dispatch(message);
        return true;
    }
};
