#pragma once

#include <cstdint>

#include "net/BoardPacket.h"

// What a board's acknowledgements have proved about the image it holds.
enum class AckVerdict {
    Confirmed,   // every data ack taken named its own block, and the board echoes block numbers
    Unconfirmed, // its acks carry no usable block number; nothing out of step was seen
    OutOfStep    // an ack may have been taken for the wrong block
};

// Weighs the acknowledgements of the board being served. A turn is one board;
// a pass is one conversation from its file-name request, and a turn has at most
// two. What the acks show of the board itself (echoing or fixed numbers) holds
// for the whole turn; what was taken for which block, for one pass.
class AckEvidence {
public:
    void StartTurn();
    void StartPass();
    // A positive file-name ack: the request's length and sequence 0 echoed back.
    void OnFileNameAck(const BoardReply& reply, std::uint16_t requestLength);
    void OnDataSent(std::uint32_t block);
    // A positive data ack from the board; `awaiting`: the data request sent
    // last has not been answered yet. True when it counts as that answer.
    bool OnDataAck(const BoardReply& reply, bool awaiting);
    // The reboot request goes out: data acks after it are stale.
    void EndDataPhase() { m_bDataPhase = false; }

    AckVerdict Verdict() const;
    bool IsOutOfStep() const { return m_bOutOfStep; }
    std::uint32_t LastBlock() const { return m_nHoldBlock; } // the data block sent last

private:
    bool Echoes() const { return !m_bFixed && (m_bNameProof || m_bVaried); }
    void NoteValue(std::uint32_t value);
    bool Take(const BoardReply& reply, std::uint32_t block, bool awaiting);
    bool Hold(const BoardReply& reply, std::uint32_t block, bool awaiting);
    bool TakeUnnumbered(const BoardReply& reply, std::uint32_t block, bool awaiting);

    // The board, over the turn.
    bool m_bNameProof = false;     // its file-name ack echoed the request's header
    bool m_bSeenValue = false;     // a data ack carried a sequence
    std::uint32_t m_nFirstValue = 0;
    bool m_bVaried = false;        // data acks carried two different sequences
    bool m_bFixed = false;         // its sequence is one value that echoes nothing
    bool m_bSentAny = false;
    std::uint32_t m_nHighestSent = 0;

    // This pass.
    bool m_bDataPhase = false;
    int m_nDataSent = 0;           // transmissions of data requests
    int m_nDataAcks = 0;           // positive data acks received
    bool m_bMismatch = false;      // a data ack taken that did not name its block
    bool m_bOutOfStep = false;
    std::uint32_t m_nHoldBlock = 0; // the data block sent last, which the transmissions below belong to
    int m_nTransmissions = 0;
    int m_nAnswered = 0;            // acks naming an earlier block since the block was first sent
};
