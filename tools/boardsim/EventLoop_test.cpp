// Socket-level check of the simulator on loopback only: boards on 127.0.0.x, the client on 127.0.0.1, and the
// loopback broadcast address 127.255.255.255 standing in for a broadcast.
#include "EventLoop.h"

#include "TestPackets.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <set>
#include <thread>
#include <unistd.h>

namespace boardsim {
namespace {

using namespace test;

// Guards a test against hanging; never a measure of speed.
constexpr int kGuardMs = 5000;

sockaddr_in Address(std::uint32_t addr, std::uint16_t port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(addr);
    sa.sin_port = htons(port);
    return sa;
}

class EventLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_client = ::socket(AF_INET, SOCK_DGRAM, 0);
        const int one = 1;
        ::setsockopt(m_client, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
        sockaddr_in sa = Address(0x7f000001, 0);
        ASSERT_EQ(::bind(m_client, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0) << "client bind";
        // A port nobody else uses now: the kernel's choice for a socket just closed.
        const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in any = Address(0x7f000001, 0);
        socklen_t len = sizeof any;
        ::bind(probe, reinterpret_cast<sockaddr*>(&any), sizeof any);
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&any), &len);
        m_port = ntohs(any.sin_port);
        ::close(probe);
    }
    void TearDown() override { ::close(m_client); }

    void SendTo(std::uint32_t addr, const std::vector<std::uint8_t>& bytes)
    {
        const sockaddr_in to = Address(addr, m_port);
        ASSERT_EQ(::sendto(m_client, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to),
                  static_cast<ssize_t>(bytes.size()))
            << "send failed";
    }

    // The next datagram for the client and the address it came from; empty when none came.
    std::vector<std::uint8_t> Receive(std::uint32_t& from)
    {
        pollfd p{m_client, POLLIN, 0};
        if (::poll(&p, 1, kGuardMs) <= 0)
            return {};
        std::vector<std::uint8_t> buffer(2048);
        sockaddr_in sa{};
        socklen_t len = sizeof sa;
        const ssize_t got = ::recvfrom(m_client, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&sa), &len);
        buffer.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
        from = ntohl(sa.sin_addr.s_addr);
        return buffer;
    }

    int m_client = -1;
    std::uint16_t m_port = 0;
};

TEST_F(EventLoopTest, AnswersBroadcastFromEveryBoardAndServesADownload)
{
    std::vector<BoardConfig> configs;
    std::string error;
    ASSERT_TRUE(ParseBoardConfig("name=FW VEX %d,mac=00:11:22:33:44:01,ip=127.0.0.11,count=2", configs, error)) << error;
    const ImageStore store;
    Simulator sim(configs, store);
    EventLoop loop(sim, nullptr);
    ASSERT_TRUE(loop.Open(m_port, "127.255.255.255", error)) << error;
    std::thread server([&]() { loop.Run(); });

    SendTo(0x7fffffff, Discovery());
    std::set<std::string> answers;
    for (int i = 0; i < 2; ++i) {
        std::uint32_t from = 0;
        const auto reply = Receive(from);
        ASSERT_GT(reply.size(), kHeaderSize) << "discovery reply " << i << " missing";
        answers.insert(IpText(from) + " " + reinterpret_cast<const char*>(reply.data() + kHeaderSize));
    }
    EXPECT_EQ(answers, (std::set<std::string>{"127.0.0.11 FW VEX 1", "127.0.0.12 FW VEX 2"}))
        << "each board answers the broadcast from its own address";

    const auto file = TestFile(1500);
    std::vector<std::vector<std::uint8_t>> requests = {FileName("fw.bin")};
    for (std::uint32_t k = 0; k < BlockCount(file.size()); ++k)
        requests.push_back(Block(file, k));
    requests.push_back(Reboot());
    for (const auto& request : requests) {
        SendTo(0x7f00000c, request);
        std::uint32_t from = 0;
        const auto reply = Receive(from);
        ASSERT_EQ(reply.size(), kHeaderSize) << "no acknowledgement of opcode " << int(request[0]);
        EXPECT_EQ(from, 0x7f00000cu) << "acknowledgement from another address";
        EXPECT_EQ(reply[1], kStatusAck) << "acknowledgement status";
    }
    loop.RequestStop();
    server.join();

    EXPECT_EQ(sim.FlagCount(), 0u) << "a correct conversation was flagged";
    ASSERT_EQ(sim.BoardAt(1).Images().size(), 1u) << "image not assembled";
    EXPECT_EQ(sim.BoardAt(1).Images()[0].data, file) << "image over the socket differs";
    EXPECT_TRUE(sim.BoardAt(0).Images().empty()) << "the other board received an image";
    EXPECT_TRUE(sim.BoardAt(0).Requests().at(0).broadcast) << "broadcast not seen as such";
}

TEST_F(EventLoopTest, OpenReportsAnAddressItCannotBind)
{
    std::vector<BoardConfig> configs;
    std::string error;
    // 203.0.113.0/24 is reserved for documentation and on no interface here; binding fails, nothing is sent.
    ASSERT_TRUE(ParseBoardConfig("ip=203.0.113.77", configs, error)) << error;
    const ImageStore store;
    Simulator sim(configs, store);
    EventLoop loop(sim, nullptr);
    EXPECT_FALSE(loop.Open(m_port, "", error)) << "bound an address that is not configured";
    EXPECT_NE(error.find("203.0.113.77"), std::string::npos) << "message does not name the address: " << error;
}

}  // namespace
}  // namespace boardsim
