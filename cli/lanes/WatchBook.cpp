#include "cli/lanes/WatchBook.h"

#include <algorithm>

#include "cli/report/OutputText.h"
#include "download/FirmwareKind.h"

WatchBook::WatchBook(WatchRules rules, std::function<bool(const std::wstring&)> busy)
    : m_rules(std::move(rules)), m_busy(std::move(busy))
{
}

Sighting WatchBook::See(const BoardList& board)
{
    const std::wstring& ip = board.m_strIP;
    m_heard[ip] = m_nRound;
    if (board.m_strMAC.empty())
        return m_noMac.insert(ip).second ? Decide(board) : Sighting::Known;
    const auto found = m_macs.find(board.m_strMAC);
    if (found == m_macs.end()) {
        Mac& mac = m_macs[board.m_strMAC];
        mac.boards.push_back(ip);
        mac.addresses.insert(ip);
        return Decide(board);
    }
    // Back from its reboot, perhaps under a new name, a board is still the one it was.
    Mac& mac = found->second;
    if (mac.addresses.count(ip) != 0)
        return Sighting::Known;
    const auto held = std::find_if(m_held.begin(), m_held.end(),
        [&](const BoardList& b) { return b.m_strIP == ip && b.m_strMAC == board.m_strMAC; });
    if (AnotherIsAlive(mac, ip)) {
        if (held != m_held.end())
            m_held.erase(held);
        return Shared(mac, board);
    }
    // The other address may still answer in this round: decided when it is over.
    if (held == m_held.end())
        m_held.push_back(board);
    return Sighting::Held;
}

std::vector<std::pair<BoardList, Sighting>> WatchBook::EndRound()
{
    std::vector<std::pair<BoardList, Sighting>> decided;
    for (const BoardList& board : m_held) {
        Mac& mac = m_macs[board.m_strMAC];
        if (AnotherIsAlive(mac, board.m_strIP)) {
            decided.emplace_back(board, Shared(mac, board));
        } else {
            // Its old address went quiet: the same board, answering from a new one.
            mac.addresses.insert(board.m_strIP);
            decided.emplace_back(board, Sighting::Known);
        }
    }
    m_held.clear();
    ++m_nRound;
    return decided;
}

std::vector<std::wstring> WatchBook::TakeWarnings()
{
    return std::exchange(m_warnings, {});
}

bool WatchBook::AnotherIsAlive(const Mac& mac, const std::wstring& ip) const
{
    for (const std::wstring& other : mac.addresses) {
        if (other == ip)
            continue;
        const auto heard = m_heard.find(other);
        if ((heard != m_heard.end() && heard->second == m_nRound) || (m_busy && m_busy(other)))
            return true;
    }
    return false;
}

Sighting WatchBook::Shared(Mac& mac, const BoardList& board)
{
    mac.boards.push_back(board.m_strIP);
    mac.addresses.insert(board.m_strIP);
    std::wstring list;
    for (const std::wstring& ip : mac.boards)
        list += (list.empty() ? L"" : L", ") + ip;
    m_warnings.push_back(std::to_wstring(mac.boards.size()) + L" boards answer with MAC "
        + BoardTextForLine(board.m_strMAC) + L": " + list);
    return Decide(board);
}

Sighting WatchBook::Decide(const BoardList& board) const
{
    if (!ChooseBoards(m_rules.m_strFileName, std::vector<BoardList>{board}).served[0])
        return Sighting::OtherKind;
    if (m_rules.m_bOncePerMac && !board.m_strMAC.empty()) {
        // The board's last line counts: served with this image, and with
        // --require-confirmed proved by its acks, it is left alone.
        const auto it = m_rules.m_record.find({board.m_strMAC, board.m_strIP});
        if (it != m_rules.m_record.end() && it->second.m_bOk && it->second.m_strSha256 == m_rules.m_strSha256
            && (!m_rules.m_bRequireConfirmed || it->second.m_bConfirmed))
            return Sighting::ServedBefore;
    }
    return Sighting::Flash;
}
