// The floor for a stop-and-wait download on a link: a minimal sender and
// responder with nothing else in the way (no window, no event loop). The
// sender is built natively and for Windows, so that under Wine it shows what
// Wine's sockets cost by themselves.
//
//   stopwait respond BIND_IP PORT OUT_FILE [DELAY_US]
//       acknowledges every block, DELAY_US late (a board writing flash as it
//       goes); assembles the blocks and writes them to OUT_FILE at the end
//       request (through OUT_FILE.tmp and a rename), so the run can be checked
//   stopwait send FROM_IP TO_IP PORT FILE
//       sends FILE in 504-byte blocks, each acknowledged before the next, then
//       the end request; prints "<blocks> <seconds> <us per block>", timed from
//       the first block out to the last block's acknowledgement
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using Socket = SOCKET;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
using Socket = int;
#endif

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int HEADER = 8;
constexpr int BLOCK = 504;
constexpr unsigned char OP_DATA = 3;
constexpr unsigned char OP_END = 4;
constexpr unsigned char ACK = 5;

sockaddr_in Address(const char* ip, int port)
{
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, ip, &a.sin_addr);
    return a;
}

void SetReceiveTimeout(Socket s, int ms)
{
#ifdef _WIN32
    DWORD timeout = static_cast<DWORD>(ms);
#else
    timeval timeout = {ms / 1000, ms % 1000 * 1000};
#endif
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
}

std::uint32_t SequenceOf(const unsigned char* packet)
{
    std::uint32_t sequence = 0;
    std::memcpy(&sequence, packet + 4, 4);
    return sequence;
}

bool WriteFile(const std::string& path, const std::vector<char>& bytes)
{
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

int Respond(const char* ip, int port, const std::string& outPath, long delayUs)
{
    Socket s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at = Address(ip, port);
    if (bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
        std::perror("bind");
        return 2;
    }
    std::vector<char> image;
    std::uint32_t expected = 0;
    unsigned char buf[600];
    for (;;) {
        sockaddr_in from = {};
        socklen_t len = sizeof from;
        const auto n = recvfrom(s, reinterpret_cast<char*>(buf), sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < HEADER)
            continue;
        const std::uint32_t sequence = SequenceOf(buf);
        if (buf[0] == OP_DATA) {
            // A block again (its acknowledgement was lost) is acknowledged again, not stored twice.
            if (sequence == 0 && expected != 0)
                image.clear(), expected = 0;
            if (sequence == expected) {
                image.insert(image.end(), buf + HEADER, buf + n);
                ++expected;
            }
            if (delayUs > 0)
                std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
        } else if (buf[0] == OP_END) {
            if (!WriteFile(outPath, image))
                continue; // unacknowledged: the sender reports a failed run
            image.clear();
            expected = 0;
        } else {
            continue;
        }
        buf[1] = ACK;
        sendto(s, reinterpret_cast<const char*>(buf), HEADER, 0, reinterpret_cast<sockaddr*>(&from), len);
    }
}

// One request, acknowledged: retransmitted after a second without an answer, given up after five.
bool Exchange(Socket s, const sockaddr_in& to, const unsigned char* packet, int size)
{
    unsigned char reply[600];
    for (int attempt = 0; attempt < 5; ++attempt) {
        sendto(s, reinterpret_cast<const char*>(packet), size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        for (;;) {
            const auto n = recv(s, reinterpret_cast<char*>(reply), sizeof reply, 0);
            if (n < 0)
                break; // timed out
            if (n >= HEADER && reply[0] == packet[0] && reply[1] == ACK && SequenceOf(reply) == SequenceOf(packet))
                return true;
        }
    }
    return false;
}

int Send(const char* fromIp, const char* toIp, int port, const char* path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.eof() && !in) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return 2;
    }
    Socket s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at = Address(fromIp, 0);
    bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at);
    const sockaddr_in to = Address(toIp, port);
    SetReceiveTimeout(s, 1000);
    unsigned char packet[HEADER + BLOCK] = {OP_DATA, 0};
    const std::uint32_t blocks = static_cast<std::uint32_t>((bytes.size() + BLOCK - 1) / BLOCK);
    const auto start = std::chrono::steady_clock::now();
    for (std::uint32_t k = 0; k < blocks; ++k) {
        const std::size_t offset = static_cast<std::size_t>(k) * BLOCK;
        const int length = static_cast<int>(std::min<std::size_t>(BLOCK, bytes.size() - offset));
        std::memcpy(packet + 4, &k, 4);
        std::memcpy(packet + HEADER, bytes.data() + offset, static_cast<std::size_t>(length));
        if (!Exchange(s, to, packet, HEADER + length)) {
            std::fprintf(stderr, "no acknowledgement of block %u\n", k);
            return 1;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    unsigned char end[HEADER] = {OP_END, 0};
    std::memcpy(end + 4, &blocks, 4);
    if (!Exchange(s, to, end, HEADER)) {
        std::fprintf(stderr, "no acknowledgement of the end request\n");
        return 1;
    }
    std::printf("%u %.6f %.2f\n", blocks, seconds, seconds * 1e6 / static_cast<double>(blocks));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
#endif
    if ((argc == 5 || argc == 6) && std::strcmp(argv[1], "respond") == 0)
        return Respond(argv[2], std::atoi(argv[3]), argv[4], argc == 6 ? std::atol(argv[5]) : 0);
    if (argc == 6 && std::strcmp(argv[1], "send") == 0)
        return Send(argv[2], argv[3], std::atoi(argv[4]), argv[5]);
    std::fprintf(stderr, "usage: stopwait respond BIND_IP PORT OUT_FILE [DELAY_US] | stopwait send FROM_IP TO_IP PORT FILE\n");
    return 1;
}
