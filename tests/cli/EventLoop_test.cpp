#include <gtest/gtest.h>

#include "cli/link/EventLoop.h"
#include "net/BoardPacket.h"
#include "tests/cli/FakeNetwork.h"

namespace {

struct LoopBench {
    FakeNetwork net;
    EventLoop loop{net, net};
    std::vector<std::string> events;

    LoopBench()
    {
        net.AddBoard(L"192.168.1.1", L"FW VEX 1").delayMs = 0;
        loop.SetReplyHandler([this](const BoardReply& r, const std::wstring& from) {
            events.push_back("reply " + std::to_string(r.opcode) + " from " + std::string(from.begin(), from.end()));
        });
    }
};

TEST(EventLoop, TaskPostedByATaskRunsAfterTheRepliesAlreadyWaiting)
{
    LoopBench b;
    b.loop.Post([&] {
        b.events.push_back("first");
        BoardPacket p{};
        b.net.SendFrom(0, ParseIPv4(L"192.168.1.1"), p.Data(), BuildDiscoverRequest(p));
        b.loop.Post([&] { b.events.push_back("second"); });
    });
    b.loop.Run([&] { return b.events.size() == 3; }, b.loop.Now() + 1000);
    EXPECT_EQ(b.events, (std::vector<std::string>{"first", "reply 1 from 192.168.1.1", "second"}))
        << "a posted task must queue behind a reply that arrived before it was posted";
}

TEST(EventLoop, TimerFiresAtItsDeadlineAndARestartPostponesIt)
{
    LoopBench b;
    const std::uint64_t start = b.loop.Now();
    std::uint64_t firedAt = 0;
    int fired = 0;
    b.loop.StartTimer(1, b.loop.Now() + 5000, [&] { firedAt = b.loop.Now(); });
    b.loop.Post([&] { b.loop.StartTimer(1, b.loop.Now() + 5000, [&] { firedAt = b.loop.Now() + 1; ++fired; }); });
    b.loop.Run([&] { return firedAt != 0; });
    EXPECT_EQ(firedAt, start + 5001) << "the restarted timer should fire once, 5000 ms after its restart";
    b.loop.Run([] { return false; }, b.loop.Now() + 10000);
    EXPECT_EQ(fired, 1) << "a fired timer must not stay armed";
}

TEST(EventLoop, StoppedTimerNeverFiresAndTheLoopEndsWhenNothingIsLeft)
{
    LoopBench b;
    bool fired = false;
    b.loop.StartTimer(7, b.loop.Now() + 5000, [&] { fired = true; });
    b.loop.StopTimer(7);
    b.loop.Run([] { return false; });
    EXPECT_FALSE(fired) << "a stopped timer fired";
    EXPECT_EQ(b.net.m_now, 1000u) << "with nothing to wait for, the loop must return at once instead of hanging";
}

TEST(EventLoop, WaitEndsAtTheDeadlineWithRepliesHandledOnTheWay)
{
    LoopBench b;
    BoardPacket p{};
    b.net.m_boards[L"192.168.1.1"].delayMs = 700;
    b.net.SendFrom(0, LIMITED_BROADCAST, p.Data(), BuildDiscoverRequest(p));
    const std::uint64_t deadline = b.loop.Now() + 2000;
    b.loop.Run([] { return false; }, deadline);
    EXPECT_EQ(b.loop.Now(), deadline) << "a discovery wait must last exactly to its deadline";
    EXPECT_EQ(b.events, (std::vector<std::string>{"reply 1 from 192.168.1.1"})) << "the reply during the wait";
}

TEST(EventLoop, DatagramsThatAreNoReplyNeverReachTheHandler)
{
    // Empty (filtered by the platform), opcode 0, opcode 9, and an ack without its status byte.
    LoopBench b;
    struct Bad : FakeNetwork {
        void Wait(std::uint64_t timeoutMs, std::vector<Datagram>& out) override
        {
            m_now += timeoutMs;
            if (m_bSent)
                return;
            m_bSent = true;
            for (std::vector<std::uint8_t> bytes : {std::vector<std::uint8_t>{0, 5}, {9, 5, 0, 0}, {3}})
                out.push_back(Datagram{L"192.168.1.1", bytes});
        }
        bool m_bSent = false;
    } bad;
    EventLoop loop(bad, bad);
    int replies = 0;
    loop.SetReplyHandler([&](const BoardReply&, const std::wstring&) { ++replies; });
    loop.Run([] { return false; }, loop.Now() + 10);
    EXPECT_EQ(replies, 0) << "malformed datagrams were passed on as replies";
}

TEST(EventLoop, AStopEndsTheRunWithTasksAndTimersLeft)
{
    LoopBench b;
    bool stop = false, fired = false;
    int tasks = 0;
    b.loop.StopWhen([&] { return stop; });
    b.loop.StartTimer(1, b.loop.Now() + 5000, [&] { fired = true; });
    b.loop.Post([&] {
        ++tasks;
        stop = true;
        b.loop.Post([&] { ++tasks; });
    });
    b.loop.Run([] { return false; });
    EXPECT_TRUE(b.loop.Stopped()) << "the loop should say it was stopped";
    EXPECT_EQ(tasks, 1) << "a task posted after the stop ran";
    EXPECT_FALSE(fired) << "a timer fired after the stop";
    EXPECT_EQ(b.net.m_now, 1000u) << "a stopped loop must not wait";
}

TEST(EventLoop, AnExchangeLooksAtTheSocketsOncePerReply)
{
    // Under Wine every look at the sockets is a trip to the server: a task that
    // sends and then waits for the answer must not cost a look of its own.
    struct Counting : FakeNetwork {
        void Wait(std::uint64_t timeoutMs, std::vector<Datagram>& out) override
        {
            ++m_nWaits;
            FakeNetwork::Wait(timeoutMs, out);
        }
        int m_nWaits = 0;
    } net;
    net.AddBoard(L"192.168.1.1", L"FW VEX 1").delayMs = 1;
    EventLoop loop(net, net);
    int replies = 0;
    const auto send = [&] {
        BoardPacket p{};
        net.SendFrom(0, ParseIPv4(L"192.168.1.1"), p.Data(), BuildDiscoverRequest(p));
    };
    loop.SetReplyHandler([&](const BoardReply&, const std::wstring&) {
        if (++replies < 10)
            loop.Post(send);
    });
    loop.Post(send);
    loop.Run([&] { return replies == 10; }, loop.Now() + 1000);
    EXPECT_EQ(replies, 10) << "an exchange was lost";
    EXPECT_EQ(net.m_nWaits, 10) << "looks at the sockets for 10 replies, one after another";
}

} // namespace
