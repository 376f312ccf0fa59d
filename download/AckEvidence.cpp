#include "download/AckEvidence.h"

void AckEvidence::StartTurn()
{
    *this = AckEvidence{};
}

void AckEvidence::StartPass()
{
    m_bDataPhase = false;
    m_nDataSent = 0;
    m_nDataAcks = 0;
    m_bMismatch = false;
    m_bOutOfStep = false;
    m_nTransmissions = 0;
    m_nAnswered = 0;
}

void AckEvidence::OnFileNameAck(const BoardReply& reply, std::uint16_t requestLength)
{
    // A board that echoes the request header shows it at once. A board whose
    // sequence is always 0 shows the same here; its data acks tell it apart.
    if (reply.hasHeader && reply.length == requestLength && reply.sequence == 0 && !m_bFixed)
        m_bNameProof = true;
}

void AckEvidence::OnDataSent(std::uint32_t block)
{
    m_bDataPhase = true;
    ++m_nDataSent;
    if (!m_bSentAny || block > m_nHighestSent)
        m_nHighestSent = block;
    m_bSentAny = true;
    if (m_nTransmissions == 0 || block != m_nHoldBlock) {
        m_nHoldBlock = block;
        m_nTransmissions = 0;
        m_nAnswered = 0;
    }
    ++m_nTransmissions;
}

bool AckEvidence::OnDataAck(const BoardReply& reply, bool awaiting)
{
    const std::uint32_t block = m_nHoldBlock;
    // Acks that come before this pass sent any data belong to an earlier pass.
    if (!m_bDataPhase || m_bOutOfStep)
        return false;
    ++m_nDataAcks;
    if (!reply.hasHeader)
        return TakeUnnumbered(reply, block, awaiting);
    NoteValue(reply.sequence);
    if (m_bOutOfStep)
        return false;
    const std::uint32_t value = reply.sequence;
    if (value == block)
        return Take(reply, block, awaiting);
    if (m_bFixed)
        return TakeUnnumbered(reply, block, awaiting);
    if (m_bVaried)
        return false; // an echoing board's late or repeated answer to another block
    // Only one value seen so far. A block never sent cannot be an echo, so the
    // board's numbers mean nothing; an earlier block may be a late answer.
    if (!m_bNameProof && value > m_nHighestSent) {
        m_bFixed = true;
        return TakeUnnumbered(reply, block, awaiting);
    }
    return Hold(reply, block, awaiting);
}

void AckEvidence::NoteValue(std::uint32_t value)
{
    if (!m_bSeenValue) {
        m_bSeenValue = true;
        m_nFirstValue = value;
        return;
    }
    if (m_bVaried || value == m_nFirstValue)
        return;
    // Two different numbers: the board echoes after all, and every ack taken
    // without naming its block may have been the answer to another one.
    m_bVaried = true;
    m_bFixed = false;
    if (m_bMismatch)
        m_bOutOfStep = true;
}

bool AckEvidence::Take(const BoardReply& reply, std::uint32_t block, bool awaiting)
{
    if (!awaiting)
        return false;
    if (!reply.hasHeader || reply.sequence != block)
        m_bMismatch = true;
    return true;
}

bool AckEvidence::TakeUnnumbered(const BoardReply& reply, std::uint32_t block, bool awaiting)
{
    if (Echoes())
        return false; // a board known to echo sent an ack without the number
    // Acks that cannot be told apart are counted: one more than was asked for
    // came twice, and a copy may have been taken for a later block.
    if (m_nDataAcks > m_nDataSent) {
        m_bOutOfStep = true;
        return false;
    }
    return Take(reply, block, awaiting);
}

bool AckEvidence::Hold(const BoardReply& reply, std::uint32_t block, bool awaiting)
{
    if (!awaiting || block != m_nHoldBlock)
        return false;
    // Both transmissions answered, and only ever with one value: the board
    // keeps its sequence fixed and does not echo. The answers are counted, not
    // placed: the first one may come late, after the second transmission.
    ++m_nAnswered;
    if (m_nTransmissions < 2 || m_nAnswered < 2)
        return false;
    m_bFixed = true;
    m_bNameProof = false;
    return TakeUnnumbered(reply, block, awaiting);
}

AckVerdict AckEvidence::Verdict() const
{
    if (m_bOutOfStep)
        return AckVerdict::OutOfStep;
    return Echoes() && !m_bMismatch ? AckVerdict::Confirmed : AckVerdict::Unconfirmed;
}
