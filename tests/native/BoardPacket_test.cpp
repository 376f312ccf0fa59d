#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/BoardPacket.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Sent(const BoardPacket& p, int size)
{
    return Bytes(p.Data(), p.Data() + size);
}

BoardPacket Dirty()
{
    BoardPacket p;
    for (auto& b : p.m_bytes)
        b = 0xAA;
    return p;
}

TEST(BoardPacket, RequestsHaveTheirExactWireBytes)
{
    BoardPacket p = Dirty();
    EXPECT_EQ(Sent(p, BuildDiscoverRequest(p)), (Bytes{1, 0, 0, 0, 0, 0, 0, 0})) << "discovery request";
    Bytes zeroed(BOARD_PACKET_SIZE, 0);
    zeroed[0] = OP_DISCOVER;
    EXPECT_EQ(Sent(p, BOARD_PACKET_SIZE), zeroed) << "discovery must zero the whole buffer";

    p = Dirty();
    EXPECT_EQ(Sent(p, BuildRebootRequest(p)), (Bytes{4, 0, 0, 0, 0, 0, 0, 0})) << "reboot request";
    EXPECT_EQ(p.m_bytes[8], 0xAA) << "reboot must leave the payload alone";

    p = Dirty();
    EXPECT_EQ(Sent(p, BuildFileNameRequest(p, "a.bin")), (Bytes{2, 0, 6, 0, 0, 0, 0, 0, 'a', '.', 'b', 'i', 'n', 0}))
        << "file name request for a.bin";
}

TEST(BoardPacket, DataRequestHeaders)
{
    struct Case {
        std::uint32_t sequence;
        int count;
        Bytes header;
    } cases[] = {
        {258, 504, {3, 0, 0xF8, 0x01, 0x02, 0x01, 0, 0}},
        {1, 496, {3, 0, 0xF0, 0x01, 1, 0, 0, 0}},
        {0, 0, {3, 0, 0, 0, 0, 0, 0, 0}},
        {0x12345678, 96, {3, 0, 96, 0, 0x78, 0x56, 0x34, 0x12}},
    };
    for (const Case& c : cases) {
        BoardPacket p = Dirty();
        const int size = BuildDataRequest(p, c.sequence, c.count);
        EXPECT_EQ(size, 8 + c.count) << "datagram size of block " << c.sequence;
        EXPECT_EQ(Sent(p, 8), c.header) << "header of block " << c.sequence;
        EXPECT_EQ(p.DatagramSize(), size) << "DatagramSize disagrees for block " << c.sequence;
        EXPECT_EQ(p.Sequence(), c.sequence) << "Sequence() misreads block " << c.sequence;
    }
    BoardPacket p = Dirty();
    EXPECT_EQ(BuildDataRequest(p, 0, 505), -1) << "a block larger than the payload must be refused";
    EXPECT_EQ(p.m_bytes[0], 0xAA) << "a refused block must leave the buffer alone";
}

TEST(BoardPacket, FileNameMustFitThePayload)
{
    const std::string longest(503, 'x');
    BoardPacket p = Dirty();
    EXPECT_TRUE(FileNameFits(longest)) << "503 bytes and the zero fill the payload exactly";
    EXPECT_EQ(BuildFileNameRequest(p, longest), 512) << "a full-payload name is a 512-byte datagram";
    EXPECT_EQ(p.Length(), 504) << "length counts the zero byte";

    p = Dirty();
    EXPECT_FALSE(FileNameFits(longest + "x")) << "504 bytes plus the zero do not fit";
    EXPECT_EQ(BuildFileNameRequest(p, longest + "x"), -1) << "an oversized name must be refused";
    EXPECT_EQ(Sent(p, 8), Bytes(8, 0xAA)) << "a refused name must leave the buffer alone";
}

struct ReplyCase {
    const char* what;
    Bytes datagram;
    bool kept;
    std::string name, mac;
};

TEST(BoardPacket, ReadsOnlyWhatTheDatagramHolds)
{
    const ReplyCase cases[] = {
        {"discovery", {1, 9, 0, 0, 0, 0, 0, 0, 'B', '1', 0, 'M', 0}, true, "B1", "M"},
        {"empty name", {1, 0, 0, 0, 0, 0, 0, 0, 0, 'M', 'A', 'C', 0}, true, "", "MAC"},
        {"both empty", {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true, "", ""},
        {"name without zero", {1, 0, 0, 0, 0, 0, 0, 0, 'B', '1'}, false, "", ""},
        {"mac without zero", {1, 0, 0, 0, 0, 0, 0, 0, 'B', 0, 'M'}, false, "", ""},
        {"no mac at all", {1, 0, 0, 0, 0, 0, 0, 0, 'B', 0}, false, "", ""},
        {"ends before the payload", {1, 0, 0, 0}, false, "", ""},
        {"bare header", {1, 0, 0, 0, 0, 0, 0, 0}, false, "", ""},
        {"one-byte ack", {3}, false, "", ""},
        {"two-byte ack", {3, 5}, true, "", ""},
        {"opcode 0", {0, 5, 0, 0, 0, 0, 0, 0}, false, "", ""},
        {"opcode 5", {5, 5, 0, 0, 0, 0, 0, 0}, false, "", ""},
        {"opcode 255", {255, 5}, false, "", ""},
    };
    for (const ReplyCase& c : cases) {
        // Exactly sized heap copy, so a read past the end is caught by sanitizers.
        const Bytes copy = c.datagram;
        BoardReply reply;
        EXPECT_EQ(ReadBoardReply(copy.data(), copy.size(), reply), c.kept) << c.what;
        if (c.kept)
            EXPECT_TRUE(reply.name == c.name && reply.mac == c.mac) << c.what << ": texts read wrong";
    }
}

TEST(BoardPacket, AckCarriesStatusAndOptionalHeader)
{
    const Bytes full = {3, 5, 0xF8, 1, 2, 1, 0, 0};
    BoardReply reply;
    ASSERT_TRUE(ReadBoardReply(full.data(), full.size(), reply));
    EXPECT_TRUE(reply.hasHeader && reply.length == 504 && reply.sequence == 258 && reply.status == 5)
        << "an 8-byte ack must yield its header fields";

    const Bytes seven = {4, 1, 0, 0, 7, 0, 0};
    ASSERT_TRUE(ReadBoardReply(seven.data(), seven.size(), reply));
    EXPECT_TRUE(!reply.hasHeader && reply.sequence == 0 && reply.status == 1)
        << "a 7-byte ack has no header and keeps its status";
}

} // namespace
