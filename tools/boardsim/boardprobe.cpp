// boardprobe: a minimal workstation side of the board protocol, to try the simulator and the namespace test bed
// without the product. Independent of the product's code on purpose.
#include "Wire.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace boardsim;

namespace {

const char* kUsage = R"(Usage:
  boardprobe discover --from ADDR [--to ADDR] [--port N] [--wait MS]
      sends one discovery request from a socket bound to ADDR (to 255.255.255.255 unless --to is given) and
      prints every reply that comes within MS milliseconds (default 1000): "reply IP name=... mac=..."
  boardprobe download --from ADDR --to ADDR --file PATH [--name NAME] [--port N] [--timeout MS]
      sends the file: file name, 504-byte data blocks, reboot; stop and wait, one retransmission after MS
      milliseconds without an answer (default 5000); prints the outcome and the time per block
)";

struct Args {
    std::string command, from, to, file, name;
    std::uint16_t port = kBoardPort;
    int waitMs = 1000;
    int timeoutMs = 5000;
};

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int OpenSocket(const std::string& from)
{
    std::uint32_t addr = 0;
    if (!ParseIp(from, addr)) {
        std::fprintf(stderr, "boardprobe: bad --from address '%s'\n", from.c_str());
        return -1;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    // Room for a thousand discovery replies arriving at once; the forced variant passes rmem_max when allowed.
    const int buffer = 8 << 20;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        std::fprintf(stderr, "boardprobe: bind %s: %s\n", from.c_str(), std::strerror(errno));
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SendTo(int fd, const std::string& to, std::uint16_t port, const std::uint8_t* data, std::size_t size)
{
    std::uint32_t addr = 0;
    if (!ParseIp(to, addr))
        return false;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(addr);
    sa.sin_port = htons(port);
    return ::sendto(fd, data, size, 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == static_cast<ssize_t>(size);
}

// One datagram within timeoutMs, or -1.
int Receive(int fd, int timeoutMs, std::uint8_t* buffer, std::size_t size, Endpoint& from)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return -1;
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    const ssize_t got = ::recvfrom(fd, buffer, size, 0, reinterpret_cast<sockaddr*>(&sa), &len);
    from = {ntohl(sa.sin_addr.s_addr), ntohs(sa.sin_port)};
    return static_cast<int>(got);
}

int Discover(const Args& args)
{
    const int fd = OpenSocket(args.from);
    if (fd < 0)
        return 2;
    std::uint8_t request[kHeaderSize] = {kOpDiscover};
    const std::string to = args.to.empty() ? "255.255.255.255" : args.to;
    if (!SendTo(fd, to, args.port, request, sizeof request)) {
        std::fprintf(stderr, "boardprobe: send to %s: %s\n", to.c_str(), std::strerror(errno));
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    int replies = 0;
    std::uint8_t buffer[2048];
    Endpoint from;
    for (int got; (got = Receive(fd, args.waitMs, buffer, sizeof buffer, from)) >= 0;) {
        if (got < 1 || buffer[0] != kOpDiscover)
            continue;
        const auto end = reinterpret_cast<const char*>(buffer) + got;
        const char* name = reinterpret_cast<const char*>(buffer) + std::min(got, 8);
        const char* mac = name + strnlen(name, static_cast<std::size_t>(end - name));
        mac = mac < end ? mac + 1 : end;
        std::printf("reply %s name=%s mac=%s\n", IpText(from.addr).c_str(),
                    std::string(name, strnlen(name, static_cast<std::size_t>(end - name))).c_str(),
                    std::string(mac, strnlen(mac, static_cast<std::size_t>(end - mac))).c_str());
        ++replies;
    }
    std::printf("%d replies in %.3f s\n", replies, Seconds(start));
    ::close(fd);
    return replies > 0 ? 0 : 1;
}

// Sends one request and waits for its acknowledgement, with one retransmission. 1 ack, 0 no answer, -1 refused.
int Exchange(int fd, const Args& args, const std::vector<std::uint8_t>& request)
{
    std::uint8_t buffer[2048];
    Endpoint from;
    for (int attempt = 0; attempt < 2; ++attempt) {
        SendTo(fd, args.to, args.port, request.data(), request.size());
        const auto sent = std::chrono::steady_clock::now();
        for (;;) {
            const int left = args.timeoutMs - static_cast<int>(Seconds(sent) * 1000);
            const int got = left > 0 ? Receive(fd, left, buffer, sizeof buffer, from) : -1;
            if (got < 0)
                break;
            // An echoed header names the request it answers; a stale acknowledgement is not this one's.
            if (got < 2 || buffer[0] != request[0])
                continue;
            if (got >= 8 && request[0] == kOpData && ReadHeader(buffer).sequence != ReadHeader(request.data()).sequence)
                continue;
            return buffer[1] == kStatusAck ? 1 : -1;
        }
    }
    return 0;
}

int Download(const Args& args)
{
    std::ifstream in(args.file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "boardprobe: cannot read %s\n", args.file.c_str());
        return 2;
    }
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string name = args.name;
    if (name.empty())
        name = args.file.substr(args.file.find_last_of('/') + 1);
    const int fd = OpenSocket(args.from);
    if (fd < 0)
        return 2;
    const auto start = std::chrono::steady_clock::now();
    const auto request = [&](std::uint8_t op, std::uint32_t sequence, const std::uint8_t* payload, std::size_t size) {
        std::vector<std::uint8_t> bytes(kHeaderSize + size);
        WriteHeader(bytes.data(), Header{op, 0, static_cast<std::uint16_t>(size), sequence});
        if (size != 0)
            std::memcpy(bytes.data() + kHeaderSize, payload, size);
        return Exchange(fd, args, bytes);
    };
    const auto fail = [&](const char* what, int result) {
        std::printf("%s %s\n", what, result < 0 ? "refused" : "not answered");
        ::close(fd);
        return 1;
    };
    int result = request(kOpFileName, 0, reinterpret_cast<const std::uint8_t*>(name.c_str()), name.size() + 1);
    if (result != 1)
        return fail("file name", result);
    std::uint32_t blocks = 0;
    std::size_t offset = 0;
    do {
        const std::size_t size = std::min(kBlockSize, file.size() - offset);
        result = request(kOpData, blocks, file.data() + offset, size);
        if (result != 1)
            return fail(Format("data block %u", blocks).c_str(), result);
        offset += size;
        ++blocks;
    } while (offset < file.size());
    const double dataTime = Seconds(start);
    result = request(kOpReboot, 0, nullptr, 0);
    if (result != 1)
        return fail("reboot", result);
    std::printf("sent %zu bytes in %u blocks to %s in %.3f s (%.1f us per block)\n", file.size(), blocks,
                args.to.c_str(), Seconds(start), dataTime * 1e6 / blocks);
    ::close(fd);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Args args;
    if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    args.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "boardprobe: %s needs a value\n", arg.c_str());
            return 2;
        }
        const std::string value = argv[++i];
        if (arg == "--from")
            args.from = value;
        else if (arg == "--to")
            args.to = value;
        else if (arg == "--file")
            args.file = value;
        else if (arg == "--name")
            args.name = value;
        else if (arg == "--port")
            args.port = static_cast<std::uint16_t>(std::stoi(value));
        else if (arg == "--wait")
            args.waitMs = std::stoi(value);
        else if (arg == "--timeout")
            args.timeoutMs = std::stoi(value);
        else {
            std::fprintf(stderr, "boardprobe: unknown argument %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }
    if (args.command == "discover" && !args.from.empty())
        return Discover(args);
    if (args.command == "download" && !args.from.empty() && !args.to.empty() && !args.file.empty())
        return Download(args);
    std::fputs(kUsage, stderr);
    return 2;
}
