#include "SequencerBench.h"

#include <gtest/gtest.h>

#include "net/LittleEndian.h"

SequencerBench::SequencerBench()
{
    host.m_onSend = [this](const FakeDownloadHost::Sent& sent) { OnSend(sent); };
}

bool SequencerBench::Start(std::size_t fileSize, const std::vector<std::wstring>& ips, const std::string& name)
{
    file.m_bytes.resize(fileSize);
    for (std::size_t i = 0; i < fileSize; ++i)
        file.m_bytes[i] = static_cast<std::uint8_t>(i * 31 + i / 504);
    return sequencer.Start(L"C:\\fw\\" + std::wstring(name.begin(), name.end()), name, ips);
}

void SequencerBench::Run()
{
    for (int step = 0; step < 100000; ++step) {
        if (host.m_posted.size() > 1 || (!host.m_posted.empty() && sequencer.IsAwaiting()))
            ++overlaps;
        if (host.DispatchOne(sequencer))
            continue;
        const auto next = m_replies.begin();
        const bool haveReply = next != m_replies.end();
        if (host.m_bTimer && (!haveReply || host.m_deadline < next->first)) {
            host.m_now = host.m_deadline;
            sequencer.OnTick(host.m_now);
            continue;
        }
        if (!haveReply)
            return;
        host.m_now = std::max(host.m_now, next->first);
        const auto [ip, bytes] = next->second;
        m_replies.erase(next);
        BoardReply reply;
        if (!ReadBoardReply(bytes.data(), bytes.size(), reply) || reply.opcode == OP_DISCOVER)
            continue;
        const bool served = sequencer.IsRunning() && sequencer.Current() >= 0
            && sequencer.Current() < static_cast<int>(sequencer.Boards().size())
            && sequencer.Boards()[static_cast<std::size_t>(sequencer.Current())] == ip;
        if (served && reply.status != STATUS_ACK)
            ++refusalsWhileServed[ip];
        const std::size_t acked = host.m_acked.size();
        sequencer.OnAck(reply, ip);
        if (host.m_acked.size() > acked)
            taken[ip].emplace_back(host.m_acked.back().block, reply);
    }
    ADD_FAILURE() << "the download never came to rest";
}

void SequencerBench::Reply(const std::wstring& ip, std::vector<std::uint8_t> bytes, std::uint64_t delayMs)
{
    m_replies.emplace(host.m_now + delayMs, std::make_pair(ip, std::move(bytes)));
}

std::vector<FakeDownloadHost::Sent> SequencerBench::SentTo(const std::wstring& ip, std::uint8_t opcode) const
{
    std::vector<FakeDownloadHost::Sent> result;
    for (const auto& sent : host.m_sent) {
        if (sent.ip == ip && !sent.bytes.empty() && sent.bytes[0] == opcode)
            result.push_back(sent);
    }
    return result;
}

std::string SequencerBench::Trace(const std::wstring& ip) const
{
    std::string trace;
    for (const auto& sent : host.m_sent) {
        if (sent.ip != ip)
            continue;
        if (!trace.empty())
            trace += ' ';
        const char* kinds = "?QNDR";
        trace += kinds[sent.bytes[0] <= OP_REBOOT ? sent.bytes[0] : 0];
        if (sent.bytes[0] == OP_DATA)
            trace += std::to_string(ReadLE32(sent.bytes.data() + 4)) + ':';
        trace += std::to_string(sent.bytes.size());
    }
    return trace;
}

void SequencerBench::OnSend(const FakeDownloadHost::Sent& sent)
{
    if (sequencer.IsAwaiting())
        ++overlaps;
    auto found = boards.find(sent.ip);
    if (found == boards.end() || sent.bytes.size() < 8)
        return;
    FakeBoard& board = found->second;
    const std::uint8_t opcode = sent.bytes[0];
    const std::uint32_t sequence = ReadLE32(sent.bytes.data() + 4);
    const int count = board.transmissions[{opcode, sequence}]++;
    const BoardFault fault = board.faults[{opcode, sequence}];
    if (count < fault.drop)
        return; // lost on the way
    const bool ackLost = count - fault.drop < fault.lostAcks;

    if (opcode == OP_FILENAME) {
        board.fileName.assign(reinterpret_cast<const char*>(sent.bytes.data() + 8));
        board.image.clear();
        board.blocks = 0;
    } else if (opcode == OP_DATA) {
        if (sequence == board.blocks) {
            board.image.insert(board.image.end(), sent.bytes.begin() + 8, sent.bytes.end());
            ++board.blocks;
        } else if (sequence + 1 != board.blocks) {
            ++board.gaps;
        }
    } else if (opcode == OP_REBOOT) {
        ++board.reboots;
    }

    if (board.silent || ackLost)
        return;
    std::vector<std::uint8_t> ack(sent.bytes.begin(), sent.bytes.begin() + 8);
    ack[1] = fault.nack ? 0 : STATUS_ACK;
    if (board.form == AckForm::Short || (fault.nack && board.shortRefusals)) {
        ack.resize(2);
    } else if (board.form == AckForm::ZeroHeader) {
        std::fill(ack.begin() + 2, ack.end(), std::uint8_t{0});
    } else if (board.form == AckForm::FixedSequence) {
        for (int i = 0; i < 4; ++i)
            ack[4 + i] = static_cast<std::uint8_t>(board.fixedSequence >> (8 * i));
    } else if (board.form == AckForm::NoLength) {
        ack[2] = ack[3] = 0;
    }
    const std::uint64_t delay = count == fault.drop && fault.lateMs != 0 ? fault.lateMs : board.replyMs;
    Reply(sent.ip, ack, delay);
    for (int copy = 1; copy < (board.twice ? 2 : board.copies); ++copy)
        Reply(sent.ip, ack, delay + static_cast<std::uint64_t>(copy));
    if (fault.twiceMs != 0)
        Reply(sent.ip, ack, delay + fault.twiceMs);
}
