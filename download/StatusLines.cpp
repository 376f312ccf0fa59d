#include "download/StatusLines.h"

#include "net/BoardPacket.h"

std::wstring DownloadingLine(const std::wstring& path)
{
    return L"Downloading " + path + L" to all valid selected boards.\r\n";
}

std::wstring OpenFailedLine(const std::wstring& path)
{
    return L"Unable to open " + path + L"\r\nAborting download.\r\n";
}

std::wstring RetryLine(std::uint8_t opcode, const std::wstring& ip)
{
    switch (opcode) {
    case OP_FILENAME: return L"Retrying send file name IP " + ip + L"\r\n";
    case OP_DATA: return L"Retrying send data IP " + ip + L"\r\n";
    default: return L"Retrying send reboot IP " + ip + L"\r\n";
    }
}

std::wstring RebootingLine(const std::wstring& ip)
{
    return L"Unit at IP " + ip + L" is rebooting.\r\n";
}

namespace {

std::wstring OutOfStepLine(const std::wstring& ip)
{
    return L"Acknowledgements out of step IP " + ip + L"\r\n";
}

} // namespace

std::vector<std::wstring> BoardEndLines(const BoardEnd& end)
{
    const std::wstring failed = L"Unit at IP " + end.address + L" failed to download.\r\n";
    switch (end.outcome) {
    case BoardOutcome::Rebooted: return {};
    case BoardOutcome::HeldElsewhere: return {L"Unit at IP " + end.address + L" is being updated by another program.\r\n"};
    case BoardOutcome::OutOfStep: return {OutOfStepLine(end.address), failed};
    case BoardOutcome::NegativeAck: break;
    default: return {failed};
    }
    // A negative acknowledgement names the address it came from, which is the board's.
    switch (end.opcode) {
    case OP_FILENAME: return {L"Name negative acknowledgement failure IP " + end.address + L"\r\n"};
    case OP_DATA: return {L"Data negative acknowledgement failure IP " + end.address + L"\r\n"};
    default: return {L"Reboot negative acknowledgement failure IP " + end.address + L"\r\n"};
    }
}

std::vector<std::wstring> RestartLines(const std::wstring& ip)
{
    return {OutOfStepLine(ip), L"Restarting download IP " + ip + L"\r\n"};
}
