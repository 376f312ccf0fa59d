#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Dotted text to a value with the first octet in the top byte; 0 when malformed.
std::uint32_t ParseIPv4(const std::wstring& text);

struct AdapterAddress {
    std::wstring m_strAddress, m_strMask;
};

// Index of the first adapter whose subnet holds `target`, or -1.
int ChooseAdapter(const std::vector<AdapterAddress>& adapters, const std::wstring& target);
