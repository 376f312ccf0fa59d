#include "Board.h"

#include <algorithm>
#include <cstring>

namespace boardsim {

namespace {

// Keeps a bogus sequence number from making the board allocate without bound.
constexpr std::uint64_t kMaxImageSize = 256ull << 20;

std::uint64_t TransmissionKey(std::uint8_t opcode, std::uint32_t sequence)
{
    return (std::uint64_t{opcode} << 32) | sequence;
}

std::size_t PayloadSize(const Datagram& d, const Header& h)
{
    return std::min<std::size_t>(h.length, d.captured - kHeaderSize);
}

// The file name is the text up to the first zero byte of the payload, or all of it when there is none.
std::string NameIn(const Datagram& d, const Header& h)
{
    const auto* begin = reinterpret_cast<const char*>(d.data + kHeaderSize);
    const std::size_t size = PayloadSize(d, h);
    return std::string(begin, strnlen(begin, size));
}

}  // namespace

Board::Board(std::size_t index, BoardConfig config, const ImageStore& store)
    : m_index(index), m_config(std::move(config)), m_store(store)
{
}

std::string Board::Describe(std::uint8_t opcode, std::uint32_t sequence) const
{
    return opcode == kOpData ? Format("DATA block %u", sequence) : OpName(opcode);
}

void Board::AddFlag(Micros t, std::string text)
{
    m_flags.push_back({t, m_requests.size(), std::move(text)});
}

void Board::Receive(const Datagram& d, std::vector<Outgoing>& out)
{
    RequestRecord rec;
    rec.t = d.now;
    rec.size = static_cast<std::uint32_t>(d.size);
    rec.from = d.from;
    rec.dst = d.dst;
    rec.broadcast = d.broadcast;
    rec.firstFlag = static_cast<std::uint32_t>(m_flags.size());
    const char* away = m_config.presence.Absence(d.now);
    if (*away != '\0') {
        // Not plugged in yet, or rebooting: the request is logged, nothing else happens to the board.
        rec.opcode = d.size > 0 ? d.data[0] : 0;
        if (d.size >= kHeaderSize) {
            const Header h = ReadHeader(d.data);
            rec.status = h.status;
            rec.length = h.length;
            rec.sequence = h.sequence;
        }
        rec.reply = ReplyKind::Silent;
        rec.note = away;
        m_requests.push_back(rec);
        return;
    }
    if (d.size == 0) {
        AddFlag(d.now, "empty datagram");
    } else if (d.data[0] < kOpDiscover || d.data[0] > kOpReboot) {
        rec.opcode = d.data[0];
        AddFlag(d.now, Format("unknown opcode %u in a datagram of %zu bytes; ignored", d.data[0], d.size));
    } else if (d.size < kHeaderSize) {
        rec.opcode = d.data[0];
        AddFlag(d.now, Format("%s request of %zu bytes is shorter than the 8-byte header; ignored",
                              OpName(d.data[0]).c_str(), d.size));
    } else {
        const Header h = ReadHeader(d.data);
        rec.opcode = h.opcode;
        rec.status = h.status;
        rec.length = h.length;
        rec.sequence = h.sequence;
        CheckFormat(d, h);
        if (h.opcode == kOpDiscover)
            Discover(d, rec, out);
        else
            Download(d, h, rec, out);
    }
    rec.flagCount = static_cast<std::uint32_t>(m_flags.size()) - rec.firstFlag;
    m_requests.push_back(rec);
}

void Board::CheckFormat(const Datagram& d, const Header& h)
{
    const std::string what = OpName(h.opcode);
    if (h.status != 0)
        AddFlag(d.now, Format("%s request has status byte %u; requests carry 0", what.c_str(), h.status));
    if (d.size > kMaxRequestSize)
        AddFlag(d.now, Format("%s request of %zu bytes is longer than 512", what.c_str(), d.size));
    if (h.opcode == kOpDiscover || h.opcode == kOpReboot) {
        if (d.size != kHeaderSize)
            AddFlag(d.now, Format("%s request is %zu bytes, not 8", what.c_str(), d.size));
        if (h.length != 0)
            AddFlag(d.now, Format("%s request has length %u, not 0", what.c_str(), h.length));
        if (h.sequence != 0)
            AddFlag(d.now, Format("%s request has sequence %u, not 0", what.c_str(), h.sequence));
        if (h.opcode == kOpReboot && d.broadcast)
            AddFlag(d.now, "REBOOT request was broadcast; download requests go to one board");
        return;
    }
    if (h.length > kBlockSize)
        AddFlag(d.now, Format("%s request has length %u, more than the 504-byte payload", what.c_str(), h.length));
    if (d.size != kHeaderSize + h.length)
        AddFlag(d.now, Format("%s request is %zu bytes but its length %u calls for %zu", what.c_str(), d.size,
                              h.length, kHeaderSize + h.length));
    if (d.broadcast)
        AddFlag(d.now, Format("%s request was broadcast; download requests go to one board", what.c_str()));
    if (h.opcode != kOpFileName)
        return;
    if (h.sequence != 0)
        AddFlag(d.now, Format("FILENAME request has sequence %u, not 0", h.sequence));
    const std::size_t size = PayloadSize(d, h);
    const auto* text = d.data + kHeaderSize;
    const std::size_t nameLength = strnlen(reinterpret_cast<const char*>(text), size);
    if (h.length == 0) {
        AddFlag(d.now, "FILENAME request has length 0: no file name and no zero byte");
    } else if (nameLength == size) {
        AddFlag(d.now, "file name has no terminating zero byte within its length");
    } else if (nameLength + 1 < size) {
        AddFlag(d.now, Format("file name has a zero byte at offset %zu, before the end of its length %u",
                              nameLength, h.length));
    } else if (nameLength == 0) {
        AddFlag(d.now, "file name is empty");
    }
    if (std::any_of(text, text + nameLength, [](std::uint8_t c) { return c == '/' || c == '\\'; }))
        AddFlag(d.now, "file name holds a path separator; only the last path component is sent");
}

void Board::Discover(const Datagram& d, RequestRecord& rec, std::vector<Outgoing>& out)
{
    rec.transmission = ++m_discoveries;
    const Decision decision = m_config.faults.Decide(kOpDiscover, 0, rec.transmission);
    if (decision.dropped) {
        rec.reply = ReplyKind::Dropped;
        return;
    }
    if (!decision.answer) {
        rec.reply = decision.ackLost ? ReplyKind::Lost : ReplyKind::Silent;
        return;
    }
    std::vector<std::uint8_t> bytes;
    if (m_config.faults.DiscoveryReply()) {
        bytes = *m_config.faults.DiscoveryReply();
    } else {
        Header h;
        h.opcode = kOpDiscover;
        h.status = decision.status;
        const std::string& name = m_config.presence.Name(m_config.name, d.now);
        h.length = static_cast<std::uint16_t>(name.size() + m_config.mac.size() + 2);
        bytes.resize(kHeaderSize);
        WriteHeader(bytes.data(), h);
        bytes.insert(bytes.end(), name.begin(), name.end());
        bytes.push_back(0);
        bytes.insert(bytes.end(), m_config.mac.begin(), m_config.mac.end());
        bytes.push_back(0);
    }
    Answer(d, std::move(bytes), decision, rec, out);
}

bool Board::AckNamesBlock(std::uint32_t sequence) const
{
    const auto& fixed = m_config.faults.AckSequence();
    return m_config.faults.Ack() == AckForm::Echo && (!fixed || *fixed == sequence);
}

void Board::Download(const Datagram& d, const Header& h, RequestRecord& rec, std::vector<Outgoing>& out)
{
    const std::uint32_t sequence = h.opcode == kOpData ? h.sequence : 0;
    const std::uint64_t key = TransmissionKey(h.opcode, sequence);
    const bool same = m_last.valid && d.size == d.captured && m_last.bytes.size() == d.captured &&
                      std::memcmp(m_last.bytes.data(), d.data, d.captured) == 0;
    const std::string what = Describe(h.opcode, sequence);

    // A retransmission is the same datagram again while no answer to it has left the board yet (it was
    // dropped, its answer was lost, or its answer is still held back). Once an answer has gone out, the same
    // datagram again is a fault of the sender, unless it is a file name: then the sender gave up on this
    // board (after a refusal or two transmissions) and started the download again.
    bool fresh = !same;
    if (same) {
        const std::uint32_t sent = m_transmissions[key];
        const bool refusalLeft = m_last.refused && m_last.refusedAt <= d.now;
        if (h.opcode == kOpFileName && (refusalLeft || sent >= 2)) {
            fresh = true;
            rec.note = "new download";
        } else if (refusalLeft) {
            AddFlag(d.now, what + " sent again after the board refused it");
            rec.note = "repeat";
        } else if (m_last.ackAt <= d.now && h.opcode == kOpData && !AckNamesBlock(sequence)) {
            // Its ack did not name the block, so the sender may rightly doubt which block it answered.
            rec.note = "retransmission after an ack without its block number";
        } else if (m_last.ackAt <= d.now) {
            AddFlag(d.now, Format("%s sent again %.3f s after the board acknowledged it", what.c_str(),
                                  static_cast<double>(d.now - m_last.ackAt) / 1e6));
            rec.note = "repeat";
        } else {
            if (sent >= 2)
                AddFlag(d.now, Format("%s transmitted %u times; one retransmission at most", what.c_str(), sent + 1));
            rec.note = "retransmission";
        }
    }
    const bool reprocess = same && !fresh && !m_last.processed;
    if (fresh) {
        if (h.opcode == kOpFileName) {
            StartDownload(d, h);
        } else if (m_last.valid && !m_last.refused && m_last.ackAt > d.now &&
                   !(m_last.opcode == h.opcode && m_last.sequence == sequence)) {
            AddFlag(d.now, what + " sent before the board acknowledged " + Describe(m_last.opcode, m_last.sequence));
        }
        m_last = LastRequest();
        m_last.valid = true;
        m_last.bytes.assign(d.data, d.data + d.captured);
        m_last.opcode = h.opcode;
        m_last.sequence = sequence;
    }

    rec.transmission = ++m_transmissions[key];
    const Decision decision = m_config.faults.Decide(h.opcode, sequence, rec.transmission);
    if (decision.dropped) {
        rec.reply = ReplyKind::Dropped;
        return;
    }
    const bool refuse = decision.status != kStatusAck;
    if (fresh || reprocess) {
        Process(d, h, refuse);
        m_last.processed = true;
    }
    // No answer left the board, so the same datagram again is a retransmission, whatever the board did with it.
    if (!decision.answer) {
        rec.reply = decision.ackLost ? ReplyKind::Lost : ReplyKind::Silent;
        if (decision.ackLost && h.opcode == kOpReboot && !refuse)
            m_config.presence.Rebooted(d.now);
        return;
    }
    std::vector<std::uint8_t> bytes;
    Header ack;
    ack.opcode = h.opcode;
    ack.status = decision.status;
    switch (m_config.faults.Ack()) {
    case AckForm::Echo:
        ack.length = h.length;
        ack.sequence = h.sequence;
        bytes.resize(kHeaderSize);
        break;
    case AckForm::Zero:
        bytes.resize(kHeaderSize);
        break;
    case AckForm::Short:
        bytes.resize(2);
        break;
    }
    if (m_config.faults.AckSequence())
        ack.sequence = *m_config.faults.AckSequence();
    if (m_config.faults.AckLength())
        ack.length = *m_config.faults.AckLength();
    std::uint8_t header[kHeaderSize];
    WriteHeader(header, ack);
    std::copy_n(header, bytes.size(), bytes.begin());
    if (refuse) {
        m_last.refused = true;
        m_last.refusedAt = std::min(m_last.refusedAt, d.now + Micros{decision.delayMs} * 1000);
    }
    else
        m_last.ackAt = std::min(m_last.ackAt, d.now + Micros{decision.delayMs} * 1000);
    if (h.opcode == kOpReboot && !refuse)
        m_config.presence.Rebooted(d.now + Micros{decision.delayMs} * 1000);
    Answer(d, std::move(bytes), decision, rec, out);
}

void Board::StartDownload(const Datagram& d, const Header& h)
{
    if (m_haveImage)
        FinishImage(false, d.now);
    m_haveImage = true;
    m_current = ImageRecord();
    m_current.fileName = NameIn(d, h);
    m_current.started = d.now;
    m_data.clear();
    m_nextBlock = 0;
    m_haveBlock = false;
    m_lastBlockLength = 0;
    m_refusedInDownload = false;
    m_transmissions.clear();
    m_phase = Phase::Named;
}

void Board::Process(const Datagram& d, const Header& h, bool refuse)
{
    const std::string what = Describe(h.opcode, h.sequence);
    if (h.opcode == kOpData) {
        ReceiveBlock(d, h, refuse);
    } else if (h.opcode == kOpReboot) {
        if (m_phase == Phase::Idle || m_phase == Phase::Rebooted)
            AddFlag(d.now, "REBOOT without a file name and data before it");
        else if (m_phase == Phase::Named)
            AddFlag(d.now, "REBOOT before any data block");
        else if (m_phase == Phase::Refused)
            AddFlag(d.now, "REBOOT after the board refused " + m_refusedWhat);
        if (!refuse && m_haveImage)
            FinishImage(!m_refusedInDownload && m_phase == Phase::Receiving, d.now);
    }
    if (refuse) {
        m_phase = Phase::Refused;
        m_refusedInDownload = true;
        m_refusedWhat = what;
    } else if (h.opcode == kOpReboot) {
        m_phase = Phase::Rebooted;
    }
}

void Board::ReceiveBlock(const Datagram& d, const Header& h, bool refuse)
{
    const std::uint32_t block = h.sequence;
    if (m_phase == Phase::Idle || m_phase == Phase::Rebooted) {
        AddFlag(d.now, Format("DATA block %u without a file-name request before it", block));
        StartDownload(d, Header{});
        m_current.fileName.clear();
    } else if (m_phase == Phase::Refused) {
        AddFlag(d.now, Format("DATA block %u after the board refused %s", block, m_refusedWhat.c_str()));
        return;
    }
    const std::size_t size = PayloadSize(d, h);
    if (m_haveBlock && m_lastBlockLength < kBlockSize && block != m_lastBlock)
        AddFlag(d.now, Format("block %u held %zu bytes yet was not the last block", m_lastBlock, m_lastBlockLength));
    if (block != m_nextBlock) {
        if (m_haveBlock && block == m_lastBlock)
            AddFlag(d.now, Format("DATA block %u sent again with different content", block));
        else
            AddFlag(d.now, Format("DATA block %u out of order: the next block is %u", block, m_nextBlock));
    }
    if (h.length == 0 && block != 0)
        AddFlag(d.now, Format("empty DATA block %u; only an empty file is sent as an empty block", block));
    if (refuse)
        return;
    const std::uint64_t offset = std::uint64_t{block} * kBlockSize;
    if (offset + size > kMaxImageSize) {
        AddFlag(d.now, Format("DATA block %u lies beyond 256 MiB; not stored", block));
    } else {
        if (m_data.size() < offset + size)
            m_data.resize(offset + size);
        // The empty block of an empty file leaves the image empty, and an empty
        // vector's data() may be null, which memcpy must never be given.
        if (size > 0)
            std::memcpy(m_data.data() + offset, d.data + kHeaderSize, size);
    }
    ++m_current.blocks;
    m_nextBlock = block + 1;
    m_haveBlock = true;
    m_lastBlock = block;
    m_lastBlockLength = size;
    m_phase = Phase::Receiving;
}

void Board::FinishImage(bool complete, Micros now)
{
    m_current.complete = complete;
    m_current.finished = now;
    m_store.Store(m_config.ip, m_current, std::move(m_data));
    m_images.push_back(std::move(m_current));
    m_current = ImageRecord();
    m_data = std::vector<std::uint8_t>();
    m_haveImage = false;
}

void Board::Answer(const Datagram& d, std::vector<std::uint8_t> bytes, const Decision& decision, RequestRecord& rec,
                   std::vector<Outgoing>& out)
{
    rec.reply = ReplyKind::Answered;
    rec.replyStatus = decision.status;
    rec.copies = decision.copies;
    rec.delayMs = decision.delayMs;
    const Micros due = d.now + Micros{decision.delayMs} * 1000;
    for (std::uint8_t copy = 0; copy < decision.copies; ++copy)
        out.push_back({m_index, d.from, bytes, due + Micros{copy} * decision.gapMs * 1000});
}

void Board::Finish(Micros now)
{
    if (m_haveImage)
        FinishImage(false, now);
}

}  // namespace boardsim
