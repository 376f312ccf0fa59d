#include "cli/commands/TargetList.h"

#include "discovery/DiscoveryText.h"
#include "net/IPv4.h"

bool NormaliseAddress(const std::wstring& text, std::wstring& normalised)
{
    // The core's parser forgives trailing text and carries octets over 255;
    // typed input is held to the plain form so a typo is not sent somewhere.
    std::size_t pos = 0;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0 && (pos >= text.size() || text[pos++] != L'.'))
            return false;
        unsigned value = 0;
        std::size_t digits = 0;
        for (; pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9' && digits < 4; ++pos, ++digits)
            value = value * 10 + static_cast<unsigned>(text[pos] - L'0');
        if (digits == 0 || digits > 3 || value > 255)
            return false;
    }
    if (pos != text.size())
        return false;
    normalised = FormatAddress(ParseIPv4(text));
    return true;
}

std::vector<std::wstring> ListFileTargets(const std::wstring& text)
{
    // Into the stored Ping List form (comma-separated) and split as the window splits it.
    std::wstring stored;
    bool comment = false;
    for (wchar_t c : text) {
        if (c == L'\n' || c == L'\r')
            comment = false;
        else if (c == L'#')
            comment = true;
        if (comment)
            continue;
        stored += (c == L'\n' || c == L'\r' || c == L' ' || c == L'\t' || c == L';') ? L',' : c;
    }
    return PingListTargets(stored);
}

std::wstring WhyUnreachable(const std::vector<AdapterAddress>& adapters, const std::wstring& ip)
{
    const std::uint32_t value = ParseIPv4(ip);
    if (value == 0 || value == 0xFFFFFFFFu)
        return L"is not a board address";
    const int chosen = ChooseAdapter(adapters, ip);
    if (chosen < 0)
        return L"lies in no local subnet";
    const std::uint32_t mask = ParseIPv4(adapters[static_cast<std::size_t>(chosen)].m_strMask);
    // A subnet's broadcast address matches the subnet, but a unicast socket
    // may not send to it: every request would silently fail. (A /31 or /32
    // has no broadcast address.)
    if (~mask > 1u && (value & ~mask) == ~mask)
        return L"is the broadcast address of the subnet of " + adapters[static_cast<std::size_t>(chosen)].m_strAddress;
    return std::wstring();
}
