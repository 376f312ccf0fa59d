// Feeds arbitrary datagrams to the reply reader, and arbitrary conversations
// (replies, duplicates, timer ticks, file errors) to a running download,
// checking after every event that the download stays consistent and always
// comes to rest.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FakeDownloadHost.h"
#include "FakeFirmwareFile.h"
#include "net/LittleEndian.h"
#include "discovery/DiscoveryText.h"

namespace {

const std::wstring ADDRESSES[] = {L"10.0.0.1", L"10.0.0.2", L"10.0.0.3", L"10.0.0.99"};

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool Done() const { return m_pos >= m_size; }
    std::uint8_t Next() { return Done() ? 0 : m_data[m_pos++]; }
    std::vector<std::uint8_t> Take(std::size_t count)
    {
        const std::size_t n = count < m_size - m_pos ? count : m_size - m_pos;
        std::vector<std::uint8_t> bytes(m_data + m_pos, m_data + m_pos + n);
        m_pos += n;
        return bytes;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

void ReadAsDatagram(const std::vector<std::uint8_t>& datagram)
{
    BoardReply reply;
    if (ReadBoardReply(datagram.data(), datagram.size(), reply) && reply.opcode == OP_DISCOVER)
        Check(!FormatUnitLine(MakeBoardList(reply, ADDRESSES[0])).empty());
}

void CheckCalm(const FakeDownloadHost& host, const FakeFirmwareFile& file, const DownloadSequencer& sequencer)
{
    Check(host.m_posted.size() <= 1);
    Check(host.m_posted.empty() || !sequencer.IsAwaiting());
    Check(sequencer.IsAwaiting() == host.m_bTimer);
    Check(sequencer.IsRunning() || (host.m_posted.empty() && !host.m_bTimer && !file.IsOpen() && host.m_bReady));
    Check(file.m_nClosedUses == 0);
}

// A well-formed reply to the last request: bit 2 negative, bit 3 with header, bit 4 for the block before.
BoardReply AckOfLastRequest(const FakeDownloadHost::Sent& last, std::uint8_t event)
{
    BoardReply reply;
    reply.opcode = last.bytes[0];
    reply.status = (event & 4) != 0 ? 0 : STATUS_ACK;
    reply.hasHeader = (event & 8) != 0;
    if (reply.hasHeader) {
        reply.sequence = ReadLE32(last.bytes.data() + 4);
        if ((event & 16) != 0)
            --reply.sequence;
    }
    return reply;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ReadAsDatagram(std::vector<std::uint8_t>(data, data + size));

    Input in(data, size);
    FakeDownloadHost host;
    FakeFirmwareFile file;
    DownloadSequencer sequencer(host, file);
    file.m_bytes.resize(in.Next() * 9u);
    const std::uint8_t flags = in.Next();
    const int errorAt = in.Next() % 4;
    switch ((flags >> 2) & 7) {
    case 1: file.m_nReadErrorAt = errorAt; break;
    case 2: file.m_nPositionErrorAt = errorAt; break;
    case 3: file.m_nSeekErrorAt = errorAt; break;
    case 4: file.m_bFailOpen = true; break;
    default: break;
    }
    const std::vector<std::wstring> boards(ADDRESSES, ADDRESSES + 1 + flags % 3);
    host.m_onSend = [&](const FakeDownloadHost::Sent& sent) {
        Check(sent.bytes.size() >= 8 && sent.bytes.size() <= static_cast<std::size_t>(BOARD_PACKET_SIZE));
        Check(sent.bytes.size() == 8u + ReadLE16(sent.bytes.data() + 2));
        Check(sent.ip == boards.at(static_cast<std::size_t>(sequencer.Current())));
        Check(!sequencer.IsAwaiting());
    };
    sequencer.Start(L"/fw/dal_arm_fw.bin", "dal_arm_fw.bin", boards);
    CheckCalm(host, file, sequencer);

    while (!in.Done()) {
        const std::uint8_t event = in.Next();
        switch (event & 3) {
        case 0:
            host.DispatchOne(sequencer);
            break;
        case 1:
            host.Expire(sequencer);
            break;
        case 2: {
            const std::vector<std::uint8_t> datagram = in.Take(in.Next() % 24);
            BoardReply reply;
            if (ReadBoardReply(datagram.data(), datagram.size(), reply) && reply.opcode != OP_DISCOVER)
                sequencer.OnAck(reply, ADDRESSES[(event >> 2) & 3]);
            break;
        }
        default:
            if (!host.m_sent.empty())
                sequencer.OnAck(AckOfLastRequest(host.m_sent.back(), event), host.m_sent.back().ip);
            break;
        }
        CheckCalm(host, file, sequencer);
    }

    // Whatever happened so far, silence from here on must still end the download.
    for (int step = 0; step < 10000 && sequencer.IsRunning(); ++step) {
        if (!host.DispatchOne(sequencer)) {
            Check(host.m_bTimer);
            host.Expire(sequencer);
        }
        CheckCalm(host, file, sequencer);
    }
    Check(!sequencer.IsRunning());
    return 0;
}
