#include "RequestLog.h"

#include "Board.h"

namespace boardsim {

namespace {

std::string BoardLabel(const Board& board)
{
    return IpText(board.Config().ip) + " \"" + RequestLog::Printable(board.Config().name) + "\"";
}

std::string ReplyText(const RequestRecord& rec)
{
    std::string text;
    switch (rec.reply) {
    case ReplyKind::Answered:
        if (rec.opcode == kOpDiscover)
            text = "reply";
        else if (rec.replyStatus == kStatusAck)
            text = "ack";
        else
            text = Format("NAK status %u", rec.replyStatus);
        if (rec.copies > 1)
            text += " twice";
        if (rec.delayMs != 0)
            text += Format(" after %u ms", rec.delayMs);
        return text;
    case ReplyKind::Dropped: return Format("dropped (transmission %u)", rec.transmission);
    case ReplyKind::Silent: return "no answer";
    case ReplyKind::Ignored: return "ignored";
    case ReplyKind::Lost: return Format("stored, its answer lost (transmission %u)", rec.transmission);
    }
    return text;
}

}  // namespace

RequestLog::RequestLog(std::FILE* file, bool quiet) : m_file(file), m_quiet(quiet)
{
}

std::string RequestLog::Time(Micros t)
{
    return Format("[%4llu.%06llu]", static_cast<unsigned long long>(t / 1000000),
                  static_cast<unsigned long long>(t % 1000000));
}

std::string RequestLog::Printable(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f || c == '\\' || c == '"')
            out += Format("\\x%02x", byte);
        else
            out += c;
    }
    return out;
}

void RequestLog::Request(const Board& board, const RequestRecord& rec)
{
    if (m_file == nullptr)
        return;
    const std::string label = BoardLabel(board);
    if (!m_quiet) {
        std::string line = Time(rec.t) + " " + label + " <- " + EndpointText(rec.from);
        if (rec.broadcast)
            line += " (broadcast to " + IpText(rec.dst) + ")";
        line += " " + OpName(rec.opcode);
        if (rec.opcode == kOpData)
            line += Format(" seq=%u len=%u", rec.sequence, rec.length);
        else if (rec.opcode == kOpFileName && board.InDownload())
            line += " \"" + Printable(board.CurrentFileName()) + "\"";
        line += Format(" %u B -> ", rec.size) + ReplyText(rec);
        if (*rec.note)
            line += std::string(" [") + rec.note + "]";
        line += "\n";
        std::fputs(line.c_str(), m_file);
    }
    const auto& flags = board.Flags();
    for (std::uint32_t i = rec.firstFlag; i < rec.firstFlag + rec.flagCount; ++i)
        std::fprintf(m_file, "%s %s FLAG: %s\n", Time(flags[i].t).c_str(), label.c_str(), flags[i].text.c_str());
}

void RequestLog::Stray(const StrayRecord& stray)
{
    if (m_file == nullptr)
        return;
    std::fprintf(m_file, "%s no board for %s <- %s %s %u B (%s, interface %d)\n", Time(stray.t).c_str(),
                 IpText(stray.dst).c_str(), EndpointText(stray.from).c_str(), OpName(stray.opcode).c_str(), stray.size,
                 stray.broadcast ? "broadcast" : "unicast", stray.ifindex);
}

void RequestLog::HeldBackReply(const Board& board, const Outgoing& reply, Micros now)
{
    if (m_file == nullptr || m_quiet || reply.bytes.size() < 2)
        return;
    std::fprintf(m_file, "%s %s -> %s held-back reply %s status %u sent\n", Time(now).c_str(), BoardLabel(board).c_str(),
                 EndpointText(reply.to).c_str(), OpName(reply.bytes[0]).c_str(), reply.bytes[1]);
}

void RequestLog::Note(Micros t, const std::string& text)
{
    if (m_file != nullptr)
        std::fprintf(m_file, "%s %s\n", Time(t).c_str(), text.c_str());
}

void RequestLog::Flush()
{
    if (m_file != nullptr)
        std::fflush(m_file);
}

}  // namespace boardsim
