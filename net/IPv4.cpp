#include "net/IPv4.h"

namespace {

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// One "%u" conversion: blanks skipped, an optional sign, at least one decimal
// digit. Digits accumulate modulo 2^32 and a '-' negates modulo 2^32, which
// is what the runtime's scanner does with out-of-range input.
bool ReadUnsigned(const std::wstring& text, std::size_t& pos, std::uint32_t& value)
{
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) {
        negative = text[pos] == L'-';
        ++pos;
    }
    const std::size_t first = pos;
    value = 0;
    while (pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9') {
        value = value * 10u + static_cast<std::uint32_t>(text[pos] - L'0');
        ++pos;
    }
    if (negative)
        value = 0u - value;
    return pos > first;
}

} // namespace

std::uint32_t ParseIPv4(const std::wstring& text)
{
    std::size_t pos = 0;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != L'.')
                return 0;
            ++pos;
        }
        std::uint32_t part = 0;
        if (!ReadUnsigned(text, pos, part))
            return 0;
        // Shift and add without range checks: an octet above 255 carries into
        // the one before it.
        value = (value << 8) + part;
    }
    return value;
}

// Strict, unlike ParseIPv4: this decides whether a typed line is an address at
// all, so nothing but digits and three dots may stand between the blanks.
std::optional<std::uint32_t> ParseDottedAddress(const std::wstring& text)
{
    std::size_t pos = text.find_first_not_of(L" \t");
    const std::size_t end = text.find_last_not_of(L" \t") + 1;
    if (pos == std::wstring::npos)
        return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= end || text[pos] != L'.')
                return std::nullopt;
            ++pos;
        }
        const std::size_t first = pos;
        std::uint32_t octet = 0;
        while (pos < end && text[pos] >= L'0' && text[pos] <= L'9') {
            octet = octet * 10u + static_cast<std::uint32_t>(text[pos] - L'0');
            if (octet > 255u)
                return std::nullopt;
            ++pos;
        }
        if (pos == first)
            return std::nullopt;
        value = (value << 8) | octet;
    }
    if (pos != end)
        return std::nullopt;
    return value;
}

int ChooseAdapter(const std::vector<AdapterAddress>& adapters, const std::wstring& target)
{
    return ChooseAdapter(adapters, ParseIPv4(target));
}

int ChooseAdapter(const std::vector<AdapterAddress>& adapters, std::uint32_t targetValue)
{
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        const std::uint32_t address = ParseIPv4(adapters[i].m_strAddress);
        const std::uint32_t mask = ParseIPv4(adapters[i].m_strMask);
        if ((address & mask) == (targetValue & mask))
            return static_cast<int>(i);
    }
    return -1;
}

std::wstring FormatAddress(std::uint32_t address)
{
    std::wstring text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (shift != 24)
            text += L'.';
        text += std::to_wstring((address >> shift) & 0xFFu);
    }
    return text;
}
