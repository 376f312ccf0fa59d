#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class BoardLink;
class EventLoop;
struct BoardReply;

// Whether a board answered again after acknowledging its reboot request.
struct ReturnOutcome {
    enum class State { NotChecked, Back, NotBack, Interrupted };
    State m_state = State::NotChecked;
    std::uint64_t m_nAfterMs = 0; // from the reboot acknowledgement to its answer, or to the end of the wait
    std::wstring m_strName;       // Back: the name it answered with
};

constexpr int RETURN_TIMER_ID = 1000;    // apart from the download lanes' timers, which count from 0
constexpr std::uint64_t RETURN_ASK_MS = 250;

// Asks boards that acknowledged their reboot request by address (a discovery
// request, as Ping Specific does) until each answers or its time runs out.
class ReturnCheck {
public:
    using Done = std::function<void(int board, const ReturnOutcome& outcome)>;

    ReturnCheck(EventLoop& loop, BoardLink& link, std::uint64_t limitMs, Done done);
    ReturnCheck(const ReturnCheck&) = delete;
    ReturnCheck& operator=(const ReturnCheck&) = delete;

    // From now on: the board just acknowledged its reboot request.
    void Start(int board, const std::wstring& ip);
    // True when the reply came from a board being waited for (it is then done).
    bool OnReply(const BoardReply& reply, const std::wstring& sender);
    bool AnyPending() const { return !m_checks.empty(); }
    // Ends every wait still going, each reported as interrupted.
    void Interrupt();
    std::uint64_t LimitMs() const { return m_nLimitMs; }

private:
    struct Check {
        int board;
        std::wstring ip;
        std::uint64_t since, askAt;
    };

    void Tick();
    void Schedule();
    void Finish(std::size_t index, const ReturnOutcome& outcome);

    EventLoop& m_loop;
    BoardLink& m_link;
    std::uint64_t m_nLimitMs;
    Done m_done;
    std::vector<Check> m_checks;
};
