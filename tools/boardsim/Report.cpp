#include "Report.h"

#include "RequestLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace boardsim {

namespace {

std::string Seconds(Micros t)
{
    return Format("%llu.%06llu", static_cast<unsigned long long>(t / 1000000),
                  static_cast<unsigned long long>(t % 1000000));
}

const char* ReplyWord(const RequestRecord& rec)
{
    switch (rec.reply) {
    case ReplyKind::Answered:
        return rec.opcode == kOpDiscover ? "reply" : rec.replyStatus == kStatusAck ? "ack" : "nak";
    case ReplyKind::Dropped: return "dropped";
    case ReplyKind::Silent: return "silent";
    case ReplyKind::Ignored: return "ignored";
    case ReplyKind::Lost: return "lost";
    }
    return "ignored";
}

const char* IdenticalWord(int identical)
{
    return identical == 1 ? "yes" : identical == 0 ? "no" : "unknown";
}

struct Totals {
    std::size_t flags = 0;
    std::size_t images = 0;
    std::size_t identical = 0;
    std::size_t different = 0;
};

Totals Count(const Simulator& sim)
{
    Totals totals;
    for (std::size_t i = 0; i < sim.BoardCount(); ++i) {
        const Board& b = sim.BoardAt(i);
        totals.flags += b.Flags().size();
        for (const auto& image : b.Images()) {
            ++totals.images;
            totals.identical += image.identical == 1;
            totals.different += image.identical == 0;
        }
    }
    return totals;
}

}  // namespace

std::string Report::JsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else if (byte < 0x20 || byte >= 0x7f)
            // Bytes of the workstation's code page are given as the Latin-1 character of the same number.
            out += Format("\\u%04x", byte);
        else
            out += c;
    }
    return out + "\"";
}

int Report::ExitStatus(const Simulator& sim)
{
    const Totals totals = Count(sim);
    return totals.flags == 0 && totals.different == 0 ? 0 : 1;
}

void Report::WriteVerdict(const Simulator& sim, std::ostream& out, bool brief)
{
    for (std::size_t i = 0; i < sim.BoardCount(); ++i) {
        const Board& b = sim.BoardAt(i);
        if (brief && b.Requests().empty())
            continue;
        out << "verdict: " << IpText(b.Config().ip) << " \"" << RequestLog::Printable(b.Config().name) << "\": "
            << b.Requests().size() << " requests, " << b.Flags().size() << (b.Flags().size() == 1 ? " flag" : " flags");
        if (b.Images().empty())
            out << ", no image";
        out << "\n";
        for (const auto& image : b.Images()) {
            out << "verdict:   image \"" << RequestLog::Printable(image.fileName) << "\" " << image.size << " B sha256 "
                << image.sha256 << (image.complete ? "" : " INCOMPLETE");
            if (image.identical >= 0)
                out << (image.identical == 1 ? " identical" : " DIFFERS");
            if (!image.path.empty())
                out << " -> " << image.path;
            if (!image.writeError.empty())
                out << " (not written: " << image.writeError << ")";
            out << "\n";
        }
    }
    const Totals totals = Count(sim);
    out << "verdict: " << sim.BoardCount() << " boards, " << totals.flags << " flags, " << totals.images
        << " images (" << totals.identical << " identical, " << totals.different << " differ), "
        << sim.Strays().size() << " stray datagrams: " << (ExitStatus(sim) == 0 ? "CLEAN" : "FLAGGED") << "\n";
}

void Report::WriteVerdictKeys(const Simulator& sim, std::ostream& out)
{
    const Totals totals = Count(sim);
    out << "boards=" << sim.BoardCount() << "\nflags=" << totals.flags << "\nimages=" << totals.images
        << "\nidentical=" << totals.identical << "\ndifferent=" << totals.different
        << "\nstrays=" << sim.Strays().size() << "\nverdict=" << (ExitStatus(sim) == 0 ? "clean" : "flagged") << "\n";
    for (std::size_t i = 0; i < sim.BoardCount(); ++i) {
        const Board& b = sim.BoardAt(i);
        const std::string key = "board." + IpText(b.Config().ip) + ".";
        out << key << "name=" << RequestLog::Printable(b.Config().name) << "\n"
            << key << "requests=" << b.Requests().size() << "\n"
            << key << "flags=" << b.Flags().size() << "\n"
            << key << "images=" << b.Images().size() << "\n";
        for (std::size_t f = 0; f < b.Flags().size(); ++f)
            out << key << "flag." << f << "=" << b.Flags()[f].text << "\n";
        for (std::size_t n = 0; n < b.Images().size(); ++n) {
            const auto& image = b.Images()[n];
            const std::string ik = key + "image." + std::to_string(n) + ".";
            out << ik << "file=" << RequestLog::Printable(image.fileName) << "\n"
                << ik << "path=" << image.path << "\n"
                << ik << "size=" << image.size << "\n"
                << ik << "sha256=" << image.sha256 << "\n"
                << ik << "complete=" << (image.complete ? "yes" : "no") << "\n"
                << ik << "identical=" << IdenticalWord(image.identical) << "\n";
        }
    }
}

void Report::WriteSummaryJson(const Simulator& sim, Micros elapsed, std::ostream& out)
{
    const Totals totals = Count(sim);
    out << "{\n\"tool\": \"boardsim\",\n\"elapsed\": " << Seconds(elapsed) << ",\n\"flag_total\": " << totals.flags
        << ",\n\"images_total\": " << totals.images << ",\n\"identical_total\": " << totals.identical
        << ",\n\"different_total\": " << totals.different << ",\n\"verdict\": \""
        << (ExitStatus(sim) == 0 ? "clean" : "flagged") << "\",\n\"boards\": [";
    for (std::size_t i = 0; i < sim.BoardCount(); ++i) {
        const Board& b = sim.BoardAt(i);
        out << (i ? ",\n" : "\n") << "{\"index\": " << i << ", \"name\": " << JsonString(b.Config().name)
            << ", \"mac\": " << JsonString(b.Config().mac) << ", \"ip\": \"" << IpText(b.Config().ip)
            << "\", \"faults\": " << JsonString(b.Config().faults.Describe()) << ", \"flag_count\": " << b.Flags().size()
            << ",\n \"flags\": [";
        for (std::size_t f = 0; f < b.Flags().size(); ++f) {
            const auto& flag = b.Flags()[f];
            out << (f ? ",\n  " : "\n  ") << "{\"t\": " << Seconds(flag.t) << ", \"request\": " << flag.request
                << ", \"text\": " << JsonString(flag.text) << "}";
        }
        out << "],\n \"images\": [";
        for (std::size_t n = 0; n < b.Images().size(); ++n) {
            const auto& image = b.Images()[n];
            out << (n ? ",\n  " : "\n  ") << "{\"file\": " << JsonString(image.fileName)
                << ", \"path\": " << JsonString(image.path) << ", \"size\": " << image.size << ", \"blocks\": "
                << image.blocks << ", \"sha256\": \"" << image.sha256 << "\", \"complete\": "
                << (image.complete ? "true" : "false") << ", \"identical\": "
                << (image.identical == 1 ? "true" : image.identical == 0 ? "false" : "null")
                << ", \"started\": " << Seconds(image.started) << ", \"finished\": " << Seconds(image.finished)
                << ", \"error\": " << JsonString(image.writeError) << "}";
        }
        out << "],\n \"requests\": [";
        const auto& requests = b.Requests();
        for (std::size_t r = 0; r < requests.size(); ++r) {
            const auto& rec = requests[r];
            out << (r ? ",\n  " : "\n  ") << "{\"t\": " << Seconds(rec.t) << ", \"op\": \""
                << (rec.opcode >= kOpDiscover && rec.opcode <= kOpReboot ? OpName(rec.opcode) : "OTHER")
                << "\", \"opcode\": " << unsigned{rec.opcode} << ", \"status\": " << unsigned{rec.status}
                << ", \"length\": " << rec.length << ", \"seq\": " << rec.sequence << ", \"size\": " << rec.size
                << ", \"from\": \"" << EndpointText(rec.from) << "\", \"dst\": \""
                << (rec.broadcast ? std::string("broadcast") : IpText(rec.dst)) << "\", \"dst_addr\": \""
                << IpText(rec.dst) << "\", \"reply\": \"" << ReplyWord(rec) << "\", \"reply_status\": "
                << unsigned{rec.replyStatus} << ", \"copies\": " << unsigned{rec.copies} << ", \"delay_ms\": "
                << rec.delayMs << ", \"transmission\": " << rec.transmission << ", \"note\": \"" << rec.note
                << "\", \"flags\": " << rec.flagCount << "}";
        }
        out << "]}";
    }
    out << "\n],\n\"strays\": [";
    const auto& strays = sim.Strays();
    for (std::size_t s = 0; s < strays.size(); ++s) {
        const auto& stray = strays[s];
        out << (s ? ",\n" : "\n") << "{\"t\": " << Seconds(stray.t) << ", \"opcode\": " << unsigned{stray.opcode}
            << ", \"size\": " << stray.size << ", \"from\": \"" << EndpointText(stray.from) << "\", \"dst\": \""
            << (stray.broadcast ? std::string("broadcast") : IpText(stray.dst)) << "\", \"dst_addr\": \""
            << IpText(stray.dst) << "\", \"ifindex\": " << stray.ifindex << "}";
    }
    out << "\n]\n}\n";
}

bool Report::WriteFileAtomically(const std::string& path, const std::string& content, std::string& error)
{
    const std::string temp = path + ".tmp";
    FILE* file = std::fopen(temp.c_str(), "wb");
    if (file == nullptr) {
        error = temp + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    if (std::fclose(file) != 0 || !written || std::rename(temp.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace boardsim
