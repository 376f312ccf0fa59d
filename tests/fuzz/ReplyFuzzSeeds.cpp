// Writes the starting corpus of the reply fuzzer: conversations that reach
// every stage of a download, so the fuzzer mutates from there.

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Event bytes understood by the fuzzer: 0 runs a step, 1 ticks the timer,
// 2 + sender + length + bytes is a raw datagram, 3/11 ack the last request.
const unsigned char STEP = 0, TICK = 1, ACK = 3, ECHO_ACK = 11, NACK = 7, LATE_ECHO = 27;

Bytes Conversation(unsigned char sizeBy9, unsigned char flags, unsigned char errorAt, const Bytes& events)
{
    Bytes seed = {sizeBy9, flags, errorAt};
    seed.insert(seed.end(), events.begin(), events.end());
    return seed;
}

Bytes HealthyBoard(unsigned char ack)
{
    return {STEP, STEP, ack, STEP, ack, STEP, ack, STEP, ack, STEP, ack, STEP, STEP};
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::vector<Bytes> seeds = {
        Conversation(112, 0, 0, HealthyBoard(ACK)),
        Conversation(112, 1, 0, HealthyBoard(ECHO_ACK)),
        Conversation(0, 0, 0, HealthyBoard(ACK)),
        Conversation(60, 2, 0, {STEP, STEP, TICK, STEP, TICK, STEP, STEP, ACK, STEP, NACK, STEP, STEP, ACK}),
        Conversation(200, 0, 0, {STEP, STEP, ACK, STEP, ECHO_ACK, STEP, ECHO_ACK, STEP, TICK, LATE_ECHO, STEP, ECHO_ACK}),
        Conversation(112, 1 << 2, 1, HealthyBoard(ACK)),
        Conversation(112, 2 << 2, 0, HealthyBoard(ACK)),
        Conversation(112, 3 << 2, 0, HealthyBoard(ACK)),
        Conversation(112, 4 << 2, 0, HealthyBoard(ACK)),
        Conversation(56, 0, 0, {STEP, STEP, 2, 8, 2, 5, 0, 0, 0, 0, 0, 0, STEP, 2, 2, 3, 5, 6, 3, 5, 0, 0, 1, 0, 0, 0}),
        {1, 0, 0, 0, 0, 0, 0, 0, 'B', 0, 'M', 0},
    };
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        const std::string path = std::string(argv[1]) + "/seed-" + std::to_string(i);
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr)
            return 1;
        std::fwrite(seeds[i].data(), 1, seeds[i].size(), out);
        std::fclose(out);
    }
    return 0;
}
