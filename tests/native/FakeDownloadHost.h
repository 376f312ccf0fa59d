#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "download/DownloadSequencer.h"

// Records everything the sequencer asks of its window, against a fake clock.
class FakeDownloadHost : public IDownloadHost {
public:
    struct Sent {
        std::wstring ip;
        std::vector<std::uint8_t> bytes;
        std::uint64_t time;
    };
    struct Finished {
        int position;
        BoardOutcome outcome;
        std::uint8_t opcode;
        bool unconfirmed; // what the sequencer said of the board as it finished
    };

    std::uint64_t m_now = 0;
    std::deque<SequencerMessage> m_posted;
    bool m_bTimer = false;
    std::uint64_t m_deadline = 0;
    std::vector<Sent> m_sent;
    std::vector<std::wstring> m_lines;
    std::vector<std::uint64_t> m_lineTimes;
    std::wstring m_status; // the log as the window shows it: newest line on top
    std::vector<int> m_progress; // positions; a range change is recorded as -maximum
    bool m_bReady = true;
    std::vector<Finished> m_finished;
    std::function<void(const Sent&)> m_onSend;
    const DownloadSequencer* m_pSequencer = nullptr;
    std::set<std::wstring> m_heldElsewhere; // boards another program is updating
    std::vector<std::wstring> m_claims;     // "+ip" taken, "-ip" released, "?ip" refused

    void PostSequencerMessage(SequencerMessage message) override { m_posted.push_back(message); }
    void StartRetryTimer() override
    {
        m_bTimer = true;
        m_deadline = m_now + RETRY_TIMEOUT_MS;
    }
    void StopRetryTimer() override { m_bTimer = false; }
    bool SendToBoard(const std::wstring& ip, const std::uint8_t* data, int length) override
    {
        m_sent.push_back(Sent{ip, std::vector<std::uint8_t>(data, data + length), m_now});
        if (m_onSend)
            m_onSend(m_sent.back());
        return true;
    }
    void ClearLog() override { m_status.clear(); }
    void LogLine(const std::wstring& line) override
    {
        m_lines.push_back(line);
        m_lineTimes.push_back(m_now);
        m_status.insert(0, line);
    }
    void SetProgressPos(int position) override { m_progress.push_back(position); }
    void SetProgressRange(int maximum) override { m_progress.push_back(-maximum); }
    bool ProgressMayMove() override { return m_bProgressMayMove; }
    bool m_bProgressMayMove = true;
    void SetReady(bool ready) override { m_bReady = ready; }
    bool TakeBoard(const std::wstring& ip) override
    {
        const bool held = m_heldElsewhere.count(ip) != 0;
        m_claims.push_back((held ? L"?" : L"+") + ip);
        return !held;
    }
    void ReleaseBoard(const std::wstring& ip) override { m_claims.push_back(L"-" + ip); }
    void OnBoardFinished(int position, BoardOutcome outcome, std::uint8_t opcode) override
    {
        m_finished.push_back(Finished{position, outcome, opcode, m_pSequencer != nullptr && m_pSequencer->Unconfirmed()});
    }

    // Runs the oldest posted message; false when none waits.
    bool DispatchOne(DownloadSequencer& sequencer)
    {
        if (m_posted.empty())
            return false;
        const SequencerMessage message = m_posted.front();
        m_posted.pop_front();
        switch (message) {
        case SequencerMessage::SendFileName: sequencer.OnSendFileName(); break;
        case SequencerMessage::SendData: sequencer.OnSendData(); break;
        case SequencerMessage::SendReboot: sequencer.OnSendReboot(); break;
        case SequencerMessage::NextBoard: sequencer.OnNextBoard(); break;
        }
        return true;
    }
};
