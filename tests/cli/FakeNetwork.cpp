#include "tests/cli/FakeNetwork.h"

#include <algorithm>

#include "discovery/DiscoveryText.h"
#include "net/BoardPacket.h"
#include "net/IPv4.h"
#include "net/LittleEndian.h"
#include "net/TextCodec.h"

FakeNetwork::Board& FakeNetwork::AddBoard(const std::wstring& ip, const std::wstring& name)
{
    Board& board = m_boards[ip];
    board.ip = ip;
    board.name = name;
    board.mac = L"00:11:22:33:44:" + ip.substr(ip.rfind(L'.') + 1);
    return board;
}

int FakeNetwork::MostBoardsAtOnce() const
{
    int most = 0;
    for (const auto& [ip, board] : m_boards) {
        if (board.downloadRequests == 0)
            continue;
        int atOnce = 0;
        for (const auto& [otherIp, other] : m_boards) {
            if (other.downloadRequests > 0 && other.firstDownload <= board.firstDownload
                && other.lastDownload >= board.firstDownload)
                ++atOnce;
        }
        most = std::max(most, atOnce);
    }
    return most;
}

bool FakeNetwork::SendFrom(std::size_t adapter, std::uint32_t target, const std::uint8_t* data, int length)
{
    if (target == LIMITED_BROADCAST) {
        Broadcast(adapter, data, length);
        return true;
    }
    const std::wstring ip = FormatAddress(target);
    m_sent.push_back(Sent{adapter, ip, std::vector<std::uint8_t>(data, data + length), m_now});
    const auto it = m_boards.find(ip);
    if (it != m_boards.end() && InSubnet(adapter, ip))
        Answer(it->second, data, length);
    return true;
}

void FakeNetwork::Broadcast(std::size_t adapter, const std::uint8_t* data, int length)
{
    m_sent.push_back(Sent{adapter, std::wstring(), std::vector<std::uint8_t>(data, data + length), m_now});
    for (auto& [ip, board] : m_boards) {
        if (InSubnet(adapter, ip) && data[0] == OP_DISCOVER)
            Answer(board, data, length);
    }
}

void FakeNetwork::Wait(std::uint64_t timeoutMs, std::vector<Datagram>& received)
{
    std::uint64_t next = m_now + timeoutMs;
    if (m_wakeAt > m_now)
        next = std::min(next, m_wakeAt);
    for (const Pending& p : m_pending)
        next = std::min(next, p.due);
    m_now = std::max(m_now, next);
    auto due = std::stable_partition(m_pending.begin(), m_pending.end(), [this](const Pending& p) { return p.due <= m_now; });
    for (auto it = m_pending.begin(); it != due; ++it)
        received.push_back(it->datagram);
    m_pending.erase(m_pending.begin(), due);
}

void FakeNetwork::Answer(Board& board, const std::uint8_t* data, int length)
{
    const std::uint8_t opcode = data[0];
    if (board.fault == Fault::Mute || m_now < board.appearAt
        || (board.rebooted && m_now < board.rebootedAt + board.awayMs))
        return;
    if (opcode == OP_DISCOVER) {
        std::vector<std::uint8_t> reply(BOARD_HEADER_SIZE, 0);
        reply[0] = OP_DISCOVER;
        const std::wstring& name = board.rebooted && !board.renamed.empty() ? board.renamed : board.name;
        for (const std::string& text : {WideToAnsi(name), WideToAnsi(board.mac)}) {
            reply.insert(reply.end(), text.begin(), text.end());
            reply.push_back(0);
        }
        Reply(board, reply);
        return;
    }
    board.lastDownload = m_now;
    if (board.downloadRequests++ == 0)
        board.firstDownload = m_now;
    if (board.fault == Fault::Silent)
        return;
    const std::uint32_t sequence = ReadLE32(data + 4);
    const bool refuse = board.fault == Fault::Nak && board.nakOpcode == opcode
        && (opcode != OP_DATA || board.nakBlock == sequence);
    if (!refuse && opcode == OP_FILENAME) {
        board.fileName.assign(reinterpret_cast<const char*>(data + BOARD_HEADER_SIZE));
        ++board.fileNames;
        board.image.clear();
        board.rebooted = false;
    } else if (!refuse && opcode == OP_DATA) {
        const std::size_t at = static_cast<std::size_t>(sequence) * DATA_BLOCK_SIZE;
        const std::size_t count = static_cast<std::size_t>(length - BOARD_HEADER_SIZE);
        board.image.resize(std::max(board.image.size(), at + count));
        std::copy(data + BOARD_HEADER_SIZE, data + length, board.image.begin() + static_cast<std::ptrdiff_t>(at));
    } else if (!refuse && opcode == OP_REBOOT) {
        board.rebooted = true;
        board.rebootedAt = m_now + board.delayMs; // when its acknowledgement leaves
    }
    std::vector<std::uint8_t> ack(data, data + (board.shortAcks ? 2 : BOARD_HEADER_SIZE));
    ack[1] = refuse ? 1 : STATUS_ACK;
    for (int copy = 0; copy < board.copies; ++copy)
        Reply(board, ack);
}

void FakeNetwork::Reply(const Board& board, std::vector<std::uint8_t> bytes)
{
    m_pending.push_back(Pending{m_now + board.delayMs, Datagram{board.ip, std::move(bytes)}});
}

bool FakeNetwork::InSubnet(std::size_t adapter, const std::wstring& ip) const
{
    const std::uint32_t mask = ParseIPv4(m_adapters[adapter].m_strMask);
    return (ParseIPv4(m_adapters[adapter].m_strAddress) & mask) == (ParseIPv4(ip) & mask);
}
