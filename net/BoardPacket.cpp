#include "net/BoardPacket.h"

#include <algorithm>
#include <cstring>

#include "net/LittleEndian.h"

namespace {

void PutHeader(BoardPacket& p, std::uint8_t opcode, std::uint16_t length, std::uint32_t sequence)
{
    p.m_bytes[0] = opcode;
    p.m_bytes[1] = 0;
    WriteLE16(p.m_bytes + 2, length);
    WriteLE32(p.m_bytes + 4, sequence);
}

std::size_t TextLength(const std::string& ansiName)
{
    // The name travels as a C string, so it ends at its first zero byte.
    return std::strlen(ansiName.c_str());
}

// Index of the first zero byte in [from, size), or size when there is none.
std::size_t FindZero(const std::uint8_t* data, std::size_t from, std::size_t size)
{
    const std::uint8_t* end = data + size;
    return static_cast<std::size_t>(std::find(data + from, end, std::uint8_t{0}) - data);
}

} // namespace

std::uint8_t BoardPacket::Opcode() const { return m_bytes[0]; }
std::uint8_t BoardPacket::Status() const { return m_bytes[1]; }

std::uint16_t BoardPacket::Length() const
{
    return ReadLE16(m_bytes + 2);
}

std::uint32_t BoardPacket::Sequence() const
{
    return ReadLE32(m_bytes + 4);
}

std::uint8_t* BoardPacket::Payload() { return m_bytes + BOARD_HEADER_SIZE; }
const std::uint8_t* BoardPacket::Data() const { return m_bytes; }

int BoardPacket::DatagramSize() const
{
    // A buffer holding a foreign header must still never send past its end.
    return std::min(BOARD_HEADER_SIZE + static_cast<int>(Length()), BOARD_PACKET_SIZE);
}

int BuildDiscoverRequest(BoardPacket& p)
{
    std::memset(p.m_bytes, 0, sizeof p.m_bytes);
    p.m_bytes[0] = OP_DISCOVER;
    return BOARD_HEADER_SIZE;
}

bool FileNameFits(const std::string& ansiName)
{
    return TextLength(ansiName) + 1 <= static_cast<std::size_t>(DATA_BLOCK_SIZE);
}

int BuildFileNameRequest(BoardPacket& p, const std::string& ansiName)
{
    if (!FileNameFits(ansiName))
        return -1;
    const std::size_t bytes = TextLength(ansiName) + 1;
    std::memcpy(p.Payload(), ansiName.c_str(), bytes);
    PutHeader(p, OP_FILENAME, static_cast<std::uint16_t>(bytes), 0);
    return BOARD_HEADER_SIZE + static_cast<int>(bytes);
}

int BuildDataRequest(BoardPacket& p, std::uint32_t sequence, int count)
{
    if (count < 0 || count > DATA_BLOCK_SIZE)
        return -1;
    PutHeader(p, OP_DATA, static_cast<std::uint16_t>(count), sequence);
    return BOARD_HEADER_SIZE + count;
}

int BuildRebootRequest(BoardPacket& p)
{
    PutHeader(p, OP_REBOOT, 0, 0);
    return BOARD_HEADER_SIZE;
}

bool ReadBoardReply(const std::uint8_t* data, std::size_t size, BoardReply& out)
{
    out = BoardReply{};
    if (data == nullptr || size == 0 || data[0] < OP_DISCOVER || data[0] > OP_REBOOT)
        return false;
    out.opcode = data[0];
    if (size >= 2)
        out.status = data[1];
    if (size >= static_cast<std::size_t>(BOARD_HEADER_SIZE)) {
        out.hasHeader = true;
        out.length = ReadLE16(data + 2);
        out.sequence = ReadLE32(data + 4);
    }

    if (out.opcode != OP_DISCOVER) {
        // An acknowledgement is its status byte; one without it says nothing
        // and is dropped rather than taken as negative.
        return size >= 2;
    }

    // A discovery reply is listed only when both texts end inside the datagram:
    // a cut-off reply could show a board under half its name, and dropping it
    // keeps the unit list and the board records in step.
    const std::size_t nameEnd = size > 8 ? FindZero(data, 8, size) : size;
    if (nameEnd >= size)
        return false;
    const std::size_t macEnd = FindZero(data, nameEnd + 1, size);
    if (macEnd >= size)
        return false;
    out.name.assign(reinterpret_cast<const char*>(data + 8), nameEnd - 8);
    out.mac.assign(reinterpret_cast<const char*>(data + nameEnd + 1), macEnd - nameEnd - 1);
    return true;
}
