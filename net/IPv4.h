#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Dotted text to a value with the first octet in the top byte; 0 when malformed.
std::uint32_t ParseIPv4(const std::wstring& text);

// Dotted decimal text of a value with the first octet in the top byte.
std::wstring FormatAddress(std::uint32_t address);

// A typed dotted address: four decimal numbers 0-255 joined by dots, spaces and
// tabs around it ignored, leading zeros decimal ("192.168.1.010" is .10).
std::optional<std::uint32_t> ParseDottedAddress(const std::wstring& text);

struct AdapterAddress {
    std::wstring m_strAddress, m_strMask;
};

// Index of the first adapter whose subnet holds `target`, or -1.
int ChooseAdapter(const std::vector<AdapterAddress>& adapters, const std::wstring& target);
int ChooseAdapter(const std::vector<AdapterAddress>& adapters, std::uint32_t target);
