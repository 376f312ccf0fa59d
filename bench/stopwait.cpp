// The floor for a stop-and-wait download on a link: a minimal sender and
// responder with nothing else in the way (no window, no Wine, no file).
//
//   stopwait respond BIND_IP PORT
//   stopwait send FROM_IP TO_IP PORT BYTES      prints "<blocks> <seconds> <us per block>"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int HEADER = 8;
constexpr int BLOCK = 504;

sockaddr_in Address(const char* ip, int port)
{
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, ip, &a.sin_addr);
    return a;
}

int Respond(const char* ip, int port)
{
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at = Address(ip, port);
    if (bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
        perror("bind");
        return 2;
    }
    unsigned char buf[600];
    for (;;) {
        sockaddr_in from = {};
        socklen_t len = sizeof from;
        ssize_t n = recvfrom(s, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 2)
            continue;
        buf[1] = 5;
        sendto(s, buf, HEADER, 0, reinterpret_cast<sockaddr*>(&from), len);
    }
}

int Send(const char* fromIp, const char* toIp, int port, long bytes)
{
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at = Address(fromIp, 0);
    bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at);
    sockaddr_in to = Address(toIp, port);
    timeval timeout = {5, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    unsigned char packet[HEADER + BLOCK] = {3, 0};
    unsigned char reply[600];
    long blocks = (bytes + BLOCK - 1) / BLOCK;
    auto start = std::chrono::steady_clock::now();
    for (long k = 0; k < blocks; ++k) {
        std::memcpy(packet + 4, &k, 4);
        for (;;) {
            sendto(s, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            if (recv(s, reply, sizeof reply, 0) >= 2)
                break;
        }
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%ld %.6f %.1f\n", blocks, seconds, seconds * 1e6 / static_cast<double>(blocks));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "respond") == 0)
        return Respond(argv[2], std::atoi(argv[3]));
    if (argc == 6 && std::strcmp(argv[1], "send") == 0)
        return Send(argv[2], argv[3], std::atoi(argv[4]), std::atol(argv[5]));
    std::fprintf(stderr, "usage: stopwait respond BIND_IP PORT | stopwait send FROM_IP TO_IP PORT BYTES\n");
    return 1;
}
