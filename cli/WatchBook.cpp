#include "cli/WatchBook.h"

#include "download/FirmwareKind.h"

WatchBook::WatchBook(std::wstring fileName, std::string sha256, ServedSet served, bool oncePerMac)
    : m_strFileName(std::move(fileName)), m_strSha256(std::move(sha256)), m_served(std::move(served)), m_bOncePerMac(oncePerMac)
{
}

Sighting WatchBook::See(const BoardList& board)
{
    // Back from its reboot, perhaps under a new name, a board is still the one
    // it was: once seen, it is never decided on again in this run.
    const std::wstring key = board.m_strMAC.empty() ? L"address " + board.m_strIP : board.m_strMAC;
    if (!m_known.insert(key).second)
        return Sighting::Known;
    if (!ChooseBoards(m_strFileName, {FormatUnitLine(board)}).served[0])
        return Sighting::OtherKind;
    if (m_bOncePerMac && !board.m_strMAC.empty() && m_served.count({board.m_strMAC, m_strSha256}) != 0)
        return Sighting::ServedBefore;
    return Sighting::Flash;
}
