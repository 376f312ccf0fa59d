#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr unsigned short BOARD_PORT = 2016;
constexpr int BOARD_HEADER_SIZE = 8, DATA_BLOCK_SIZE = 504, BOARD_PACKET_SIZE = 512, REPLY_BUFFER_SIZE = 600;
constexpr unsigned MAX_ADAPTERS = 10;
constexpr std::uint8_t OP_DISCOVER = 1, OP_FILENAME = 2, OP_DATA = 3, OP_REBOOT = 4, STATUS_ACK = 5;

// The 512-byte request buffer: header (opcode, status, length LE16, sequence LE32) + payload.
struct BoardPacket {
    std::uint8_t m_bytes[BOARD_PACKET_SIZE];

    std::uint8_t Opcode() const;
    std::uint8_t Status() const;
    std::uint16_t Length() const;
    std::uint32_t Sequence() const;
    std::uint8_t* Payload();
    const std::uint8_t* Data() const;
    int DatagramSize() const; // 8 + Length(), never more than the buffer
};

int BuildDiscoverRequest(BoardPacket& p);
int BuildFileNameRequest(BoardPacket& p, const std::string& ansiName); // -1 when it does not fit
int BuildDataRequest(BoardPacket& p, std::uint32_t sequence, int count); // -1 when count is not 0..504
int BuildRebootRequest(BoardPacket& p);
bool FileNameFits(const std::string& ansiName);

struct BoardReply {
    std::uint8_t opcode = 0;
    std::uint8_t status = 0;
    std::string name, mac; // ANSI bytes, discovery replies only
    bool hasHeader = false; // the datagram held all 8 header bytes
    std::uint16_t length = 0;
    std::uint32_t sequence = 0;
};

// False when the datagram is to be ignored; never reads beyond `size`.
bool ReadBoardReply(const std::uint8_t* data, std::size_t size, BoardReply& out);
