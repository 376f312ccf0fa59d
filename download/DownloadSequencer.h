#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "download/AckEvidence.h"
#include "download/IDownloadHost.h"
#include "download/IFirmwareFile.h"
#include "net/BoardPacket.h"

constexpr unsigned RETRY_TIMEOUT_MS = 5000;
constexpr std::uint8_t RETRY_LIMIT = 2;

// Carries one firmware file to a list of boards, one after the other: file
// name, data blocks, reboot; each request guarded by the reply deadline.
class DownloadSequencer {
public:
    DownloadSequencer(IDownloadHost& host, IFirmwareFile& file);
    DownloadSequencer(const DownloadSequencer&) = delete;
    DownloadSequencer& operator=(const DownloadSequencer&) = delete;

    // `boards`: the addresses to serve, in order. Refused without any effect
    // while running or when the name does not fit.
    bool Start(const std::wstring& path, const std::string& ansiFileName, const std::vector<std::wstring>& boards);
    // Runs the step a posted message stands for.
    void Dispatch(SequencerMessage message);
    void OnNextBoard();
    void OnSendFileName();
    void OnSendData();
    void OnSendReboot();
    // The shell's timer fired; a tick before the deadline does nothing.
    void OnTick(std::uint64_t nowMs);
    std::uint64_t NextDeadline() const { return m_bAwaiting ? m_nDeadline : NO_DEADLINE; }
    void OnAck(const BoardReply& reply, const std::wstring& sender);

    bool IsRunning() const { return m_bRunning; }
    bool IsAwaiting() const { return m_bAwaiting; }
    int Current() const { return m_nCurrent; }
    const std::vector<std::wstring>& Boards() const { return m_boards; }
    // Where the board being served is: the request sent to it last and, for a
    // data request, its block. False between boards and before its first request.
    bool Where(std::uint8_t& opcode, std::uint32_t& block) const;

private:
    bool TakePending(SequencerMessage message);
    void Post(SequencerMessage message);
    void Send(int size);
    void Await(std::uint8_t stage);
    void StopAwaiting();
    void EndBoard(BoardOutcome outcome, std::uint8_t opcode);
    void OnDataAccepted();
    enum class Verdict { None, Refused, OutOfStep };
    void Conclude(Verdict verdict, std::uint8_t opcode);
    bool TakeVerdict();
    void OnOutOfStep();
    const std::wstring& Board() const { return m_boards[static_cast<std::size_t>(m_nCurrent)]; }

    IDownloadHost& m_host;
    IFirmwareFile& m_file;
    std::string m_strFileName; // ANSI, as the file-name request carries it
    std::vector<std::wstring> m_boards;
    int m_nCurrent = -1;
    std::uint64_t m_nFileLength = 0;
    std::uint32_t m_nBlock = 0;
    std::uint8_t m_nStage = 0;
    std::uint8_t m_nRetries = 0;
    BoardPacket m_packet{};
    bool m_bRunning = false;
    bool m_bAwaiting = false;     // a request is out and its deadline runs
    std::uint64_t m_nDeadline = 0;
    int m_nPending = 0;           // the SequencerMessage posted and not yet handled, 0 when none
    AckEvidence m_evidence;           // what the board being served has proved by its acks
    int m_nPass = 0;                  // 1, or 2 once it was started over
    bool m_bRebootSent = false;       // in this pass
    Verdict m_verdict = Verdict::None; // found while a step was queued, acted on when it runs
    std::uint8_t m_nVerdictOpcode = 0;
    bool m_bHeld = false;             // TakeBoard granted it
    std::uint8_t m_nSentOpcode = 0;   // of the request sent to it last, 0 before any
};
