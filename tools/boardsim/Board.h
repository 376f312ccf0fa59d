// One simulated board: answers the requests addressed to it as a real board would, assembles the image it is
// sent, and flags every request that breaks the board protocol.
#pragma once

#include "BoardConfig.h"
#include "ImageStore.h"
#include "Traffic.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace boardsim {

class Board {
public:
    Board(std::size_t index, BoardConfig config, const ImageStore& store);

    // One request that reached this board; its replies are appended to out.
    void Receive(const Datagram& d, std::vector<Outgoing>& out);
    // Ends the run: an image still being received is stored as incomplete.
    void Finish(Micros now);

    const BoardConfig& Config() const { return m_config; }
    const std::vector<RequestRecord>& Requests() const { return m_requests; }
    const std::vector<Flag>& Flags() const { return m_flags; }
    const std::vector<ImageRecord>& Images() const { return m_images; }
    bool InDownload() const { return m_haveImage; }
    const std::string& CurrentFileName() const { return m_current.fileName; }

private:
    bool AckNamesBlock(std::uint32_t sequence) const; // its acks carry the number of the block they answer
    enum class Phase { Idle, Named, Receiving, Refused, Rebooted };

    // The request heard last, to tell a retransmission from a repeat and to hold the board to stop and wait.
    struct LastRequest {
        bool valid = false;
        std::vector<std::uint8_t> bytes;
        std::uint8_t opcode = 0;
        std::uint32_t sequence = 0;
        bool processed = false;
        bool refused = false;
        Micros ackAt = kNever;  // when the first positive acknowledgement of it left, or will leave
        Micros refusedAt = kNever;  // when the first refusal of it left, or will leave
    };

    void AddFlag(Micros t, std::string text);
    void CheckFormat(const Datagram& d, const Header& h);
    void Discover(const Datagram& d, RequestRecord& rec, std::vector<Outgoing>& out);
    void Download(const Datagram& d, const Header& h, RequestRecord& rec, std::vector<Outgoing>& out);
    void Process(const Datagram& d, const Header& h, bool refuse);
    void ReceiveBlock(const Datagram& d, const Header& h, bool refuse);
    void StartDownload(const Datagram& d, const Header& h);
    void FinishImage(bool complete, Micros now);
    void Answer(const Datagram& d, std::vector<std::uint8_t> bytes, const Decision& decision, RequestRecord& rec,
                std::vector<Outgoing>& out);
    std::string Describe(std::uint8_t opcode, std::uint32_t sequence) const;

    std::size_t m_index;
    BoardConfig m_config;
    const ImageStore& m_store;
    std::vector<RequestRecord> m_requests;
    std::vector<Flag> m_flags;
    std::vector<ImageRecord> m_images;

    Phase m_phase = Phase::Idle;
    bool m_haveImage = false;
    bool m_refusedInDownload = false;
    std::string m_refusedWhat;
    ImageRecord m_current;
    std::vector<std::uint8_t> m_data;
    std::uint32_t m_nextBlock = 0;
    bool m_haveBlock = false;
    std::uint32_t m_lastBlock = 0;
    std::size_t m_lastBlockLength = 0;
    std::unordered_map<std::uint64_t, std::uint32_t> m_transmissions;
    std::uint32_t m_discoveries = 0;
    LastRequest m_last;
};

}  // namespace boardsim
